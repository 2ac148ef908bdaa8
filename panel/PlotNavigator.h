#pragma once
// The mouse and keys over the plots, turned into the panel's requests: a left
// drag selects a time range (or, up and down the spectrogram or along the
// spectrum, a band), the wheel zooms about the pointer, a middle or Ctrl drag
// pans, clicks place cursors A and B; Backspace / Alt+Left, Alt+Right and Home
// step through the views' history. It also writes the readout line and tells
// the plots what to draw over their pictures.

#include "panel/RangeNavigation.h"
#include "panel/Readout.h"
#include "views/PlotInput.h"
#include "views/PlotOverlay.h"

#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <optional>

class AmplitudeView;
class ControlPanel;
class CustomPlot;
class PowerView;
class QLabel;
class QRect;
class QWidget;
class Recording;
class SpectrogramView;
class SpectrumView;

class PlotNavigator
{
public:
    // Takes over the plots' input; everything given outlives the navigator.
    PlotNavigator(ControlPanel* panel, Recording* recording, SpectrogramView* spectrogramView,
                  PowerView* powerView, AmplitudeView* amplitudeView, SpectrumView* spectrumView);
    ~PlotNavigator();
    PlotNavigator(const PlotNavigator&) = delete;
    PlotNavigator& operator=(const PlotNavigator&) = delete;

    // Narrowest time range a zoom gives, in samples (on the spectrogram at least
    // one FFT as well), and narrowest band, in FFT bins.
    static constexpr uint64_t minimumSamples = 16;
    static constexpr int minimumBins = 4;

    void setReadoutLabel(QLabel* label);
    // A new recording: no cursors, no gesture under way.
    void reset();
    // The divisions or the frequency offset changed.
    void refresh();
    // The views show new pictures, or the work asked for ended without any.
    void viewsChanged();
    void clearCursors();

private:
    enum class Plot
    {
        Spectrogram,
        Power,
        I,
        Q,
        Spectrum,
    };
    static constexpr Plot allPlots[] = {Plot::Spectrogram, Plot::Power, Plot::I, Plot::Q,
                                        Plot::Spectrum};

    struct Drag
    {
        Plot plot;
        QPoint origin;
        QPoint last;
        bool pan = false;
        // Keys held at the last move.
        Qt::KeyboardModifiers modifiers;
        // Cursor being moved: 0 for A, 1 for B, -1 for none.
        int cursor = -1;
        bool moved = false;
    };
    // Wheel turns since the picture last changed, with the range they started from.
    struct Wheel
    {
        Plot plot;
        bool band;
        ValueRange base;
        double accumulated;
    };
    struct Hover
    {
        Plot plot;
        QPoint position;
    };

    bool handle(Plot plot, const PlotInput& input);
    bool press(Plot plot, const PlotInput& input);
    void move(Plot plot, const PlotInput& input);
    bool release(Plot plot, const PlotInput& input);
    bool turnWheel(Plot plot, const PlotInput& input);
    bool pressKey(const PlotInput& input);

    // Whether a drag selects or pans along frequency rather than time.
    bool alongFrequency(const Drag& drag, Qt::KeyboardModifiers modifiers) const;
    void select(const Drag& drag, Qt::KeyboardModifiers modifiers);
    void pan(const Drag& drag, Qt::KeyboardModifiers modifiers);
    // Requests for a time range (seconds, either order) and a band (hertz).
    void requestTime(double from, double to, uint64_t smallest);
    void requestBand(double from, double to);
    bool submitTime(const SampleSpan& span);
    bool submitBand(const ValueRange& band);

    void placeCursor(Plot plot, const QPoint& position);
    void moveCursor(int index, Plot plot, const QPoint& position);
    int cursorNear(Plot plot, const QPoint& position) const;
    // The sample nearest to a time, within the recording.
    uint64_t nearestSample(double seconds) const;

    QWidget* widgetOf(Plot plot) const;
    CustomPlot* curveOf(Plot plot) const;
    QRect plotRectOf(Plot plot) const;
    // The horizontal axis (time, or frequency for the spectrum) and the axis a
    // band is chosen along (the spectrogram's vertical one, the spectrum's horizontal one).
    AxisMap xMapOf(Plot plot) const;
    AxisMap bandMapOf(Plot plot) const;
    uint64_t smallestSpan(Plot plot) const;
    double smallestBand() const;
    double binWidth() const;
    PlotOverlay overlayOf(Plot plot) const;
    void showOverlays();
    QString hoverText(const Hover& hover) const;
    void showReadout();

    ControlPanel* panel;
    Recording* recording;
    // Guarded: whichever of the views and the navigator goes first, the other
    // is never left calling into it.
    QPointer<SpectrogramView> spectrogramView;
    QPointer<PowerView> powerView;
    QPointer<AmplitudeView> amplitudeView;
    QPointer<SpectrumView> spectrumView;
    QPointer<QLabel> readoutLabel;
    std::optional<Drag> drag;
    std::optional<Wheel> wheel;
    std::optional<Hover> hover;
    std::optional<CursorPosition> cursorA;
    std::optional<CursorPosition> cursorB;
    // A pan's picture stays dragged along until the one it asked for is shown.
    std::optional<std::pair<Plot, QPoint>> panPreview;
    // The last time range (samples) and band asked for, so that a burst of wheel
    // turns does not ask again for what is already on its way.
    std::optional<SampleSpan> askedSpan;
    std::optional<ValueRange> askedBand;
};
