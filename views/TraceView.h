#pragma once
// What the band shown carries, against time: its amplitude in dBFS, its
// instantaneous frequency in hertz or its phase in degrees (the band extracted
// as an export of it is), under the spectrogram on the time axis the other time
// plots share; with a squelch, frequency and phase only where the band rises
// above its noise floor. A moving line shows where the band is being played.

#include "dsp/BandTrace.h"
#include "plotdata/CurveEnvelope.h"
#include "session/ViewKind.h"

#include <QWidget>

#include <memory>
#include <optional>

class CustomPlot;
class QComboBox;
class QLineEdit;
class QPushButton;
class Recording;
class SummarySet;
class TraceSummaries;

class TraceView : public QWidget, public ViewKind
{
public:
    explicit TraceView(Recording* recording, QWidget* parent = nullptr);
    ~TraceView() override;

    // The plot the trace is drawn in.
    CustomPlot* plotWidget() const { return plot; }
    // Above it: what it traces, "Squelch (dB)" (decibels above the band's
    // noise floor, empty for none) and Play / Stop of the band shown; read
    // and wired by the panel.
    QComboBox* kindChoice() const { return traceKindComboBox; }
    QLineEdit* squelchField() const { return squelchEdit; }
    QPushButton* playControl() const { return playButton; }
    // The trace's kind from the display's choice.
    static TraceKind kindOf(int choice);
    // The y axis's title for a kind: "Amplitude (dBFS)", "Frequency (Hz)", "Phase (°)".
    static QString title(TraceKind kind);
    // The noise floor (dBFS) the squelch shown was measured from.
    std::optional<double> noiseFloor() const { return floor; }
    // Where the band is being played, seconds; nothing hides the line.
    void setPlayPosition(std::optional<double> seconds);

    // As a kind of view of a session: shown while the display says so, its
    // curve computed for the range, the band, the trace's kind and squelch,
    // the full scale and the DC offset.
    bool active(const ViewSettings& settings) const override;
    void setShown(ViewSettings& settings, bool shown) const override;
    bool outdated(const ViewSettings& computed, const ViewSettings& next) const override;
    std::unique_ptr<ViewComputation> computation(const ViewSettings& settings,
                                                 const RecordingFacts& recording) override;
    void present(const Presentation& presentation) override;
    // The band's trace kept in the background, for zoom and pan from it.
    void addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const override;
    bool needsNewWidth() const override;
    bool laidOut() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The curve computed last, shifted to absolute hertz when asked.
    void showCurve(double shift);

    Recording* recording;
    CustomPlot* plot;
    QComboBox* traceKindComboBox;
    QLineEdit* squelchEdit;
    QPushButton* playButton;
    // What is kept of the bands of the recording its summaries belong to.
    std::shared_ptr<TraceSummaries> kept;
    std::weak_ptr<SummarySet> keptFor;
    ReducedCurve computed;
    TraceKind computedKind = TraceKind::Frequency;
    double shownShift = 0;
    std::optional<double> floor;
};
