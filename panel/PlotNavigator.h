#pragma once
// The mouse and keys over the plots, turned into requests for time ranges and
// bands: a left drag selects a time range (or, up and down the spectrogram or
// along the spectrum, a band), the wheel zooms about the pointer, a middle or
// Ctrl drag pans, clicks place cursors A and B; Backspace / Alt+Left, Alt+Right
// and Home step through the views' history. It also writes the readout line and
// tells the plots what to draw over their pictures. Every plot is treated alike,
// through what its axes show.

#include "panel/CursorPair.h"
#include "panel/RangeNavigation.h"
#include "session/ViewSettings.h"
#include "views/PlotInput.h"
#include "views/PlotOverlay.h"

#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class PlotWidget;
class QLabel;
class Recording;
class ViewSession;

class PlotNavigator
{
public:
    // Takes over the plots' input and asks `session` (which outlives the
    // navigator) for what they request; the plots may go first.
    PlotNavigator(ViewSession* session, const std::vector<PlotWidget*>& plots);
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
    // Asked first with every key pressed on a plot: true when it took the key
    // (Space plays, Escape stops playing).
    void setKeyHook(std::function<bool(int key)> hook) { keyHook = std::move(hook); }
    // The sample cursor A marks, when it marks one.
    std::optional<uint64_t> cursorASample() const { return cursors.sampleOfA(); }

private:
    struct Drag
    {
        PlotWidget* plot;
        QPoint origin;
        QPoint last;
        bool pan = false;
        // Keys held at the last move.
        Qt::KeyboardModifiers modifiers;
        // The cursor line being moved, if any.
        std::optional<CursorGrab> cursor;
        bool moved = false;
    };
    // Wheel turns since the picture last changed, with the range they started from.
    struct Wheel
    {
        PlotWidget* plot;
        bool band;
        ValueRange base;
        double accumulated;
    };
    struct Hover
    {
        PlotWidget* plot;
        QPoint position;
    };

    bool handle(PlotWidget* plot, const PlotInput& input);
    bool press(PlotWidget* plot, const PlotInput& input);
    void move(PlotWidget* plot, const PlotInput& input);
    bool release(PlotWidget* plot, const PlotInput& input);
    bool turnWheel(PlotWidget* plot, const PlotInput& input);
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

    CursorAxes cursorAxes(const PlotWidget* plot) const;
    uint64_t smallestSpan(const PlotWidget* plot) const;
    double smallestBand() const;
    double binWidth() const;
    double sampleRate() const;
    PlotOverlay overlayOf(const PlotWidget* plot) const;
    void showOverlays();
    void showReadout();

    ViewSession* session;
    const Recording* recording;
    // Guarded: whichever of the plots and the navigator goes first, the other
    // is never left calling into it.
    std::vector<QPointer<PlotWidget>> plots;
    QPointer<QLabel> readoutLabel;
    std::optional<Drag> drag;
    std::optional<Wheel> wheel;
    std::optional<Hover> hover;
    CursorPair cursors;
    // How far a pan drags the pictures: along the band or along time, in hertz or
    // seconds (what lay at v now lies where v + delta was). Every plot showing that
    // axis follows; after the release the pictures stay dragged until the ones
    // asked for are shown.
    struct PanShift
    {
        bool band;
        double delta;
    };
    PanShift panShiftOf(const Drag& drag, Qt::KeyboardModifiers modifiers) const;
    static QPoint draggedPixels(const PlotWidget* plot, const PanShift& shift);
    std::optional<PanShift> panPreview;
    // The last time range (samples) and band asked for, so that a burst of wheel
    // turns does not ask again for what is already on its way.
    std::optional<SampleSpan> askedSpan;
    std::optional<ValueRange> askedBand;
    std::function<bool(int key)> keyHook;
};
