#pragma once
// Instantaneous power of a time range, moving-averaged and calibrated to dBm,
// plotted against time.

#include "plotdata/PowerCurveStream.h"
#include "session/ViewKind.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CustomPlot;
class Recording;
class SummarySet;
class ViewComputation;

class PowerView : public QWidget, public ViewKind
{
public:
    PowerView(Recording* recording, QWidget* parent = nullptr);
    ~PowerView() override;

    // Moving-average length in samples.
    uint32_t averageWindow() const { return current.window; }
    // Sample magnitude of full scale, in the recording's own units.
    double fullScaleValue() const { return current.fullScaleValue; }
    // Peak voltage of a full-scale signal, volts.
    double fullScaleVoltage() const { return current.fullScaleVoltage; }
    // Impedance the power is computed into, ohms.
    double inputImpedance() const { return current.inputImpedance; }

    // The setters only store; refresh() recomputes.
    void setAverageWindow(int samples) { current.window = static_cast<uint32_t>(samples); }
    void setFullScaleValue(double value) { current.fullScaleValue = value; }
    void setFullScaleVoltage(double volts) { current.fullScaleVoltage = volts; }
    void setInputImpedance(double ohms) { current.inputImpedance = ohms; }

    // Start and stop in seconds; stored for refresh() and the curve recomputed
    // from the recording before it returns.
    void setTimeRange(double startTime, double stopTime);
    // Recomputes with the last time range.
    void refresh();

    // The four settings together.
    PowerCurveSettings settings() const { return current; }
    void setSettings(const PowerCurveSettings& settings) { current = settings; }
    // The curve over [startTime, stopTime] of a recording of `count` samples at
    // fs with the given settings, for the plot's current width, to be run on any
    // thread; presenting it also stores the range and the settings. With the
    // recording's summaries, put together from them where they reach.
    std::unique_ptr<ViewComputation> computation(double fs, uint64_t count, double startTime,
                                                 double stopTime, const PowerCurveSettings& settings,
                                                 std::shared_ptr<SummarySet> summaries = nullptr);
    // The last range given.
    double startTime() const { return lastStartTime; }
    double stopTime() const { return lastStopTime; }
    // Remove the range's mean from I and Q in setTimeRange and refresh.
    void setRemoveDc(bool remove) { removeDcOffset = remove; }
    // Whether what is shown was computed for another plot width.
    bool needsNewWidth() const override;
    // The plot the curve is drawn in (power in dBm against time in seconds).
    CustomPlot* plotWidget() const { return plot; }

    // As a kind of view of a session: shown while the display says so, its
    // curve computed for the range, the power settings (and the band, for the
    // power of the band only) and the DC offset.
    bool active(const ViewSettings& settings) const override;
    void setShown(ViewSettings& settings, bool shown) const override;
    bool outdated(const ViewSettings& computed, const ViewSettings& next) const override;
    std::unique_ptr<ViewComputation> computation(const ViewSettings& settings,
                                                 const RecordingFacts& recording) override;
    void present(const Presentation& presentation) override;
    void addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const override;
    bool laidOut() const override;

protected:
    // Shown or hidden directly (not by the settings), it tells its session.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Recording* recording;
    CustomPlot* plot;
    double lastStartTime = 0;
    double lastStopTime = 0;
    PowerCurveSettings current;
    bool removeDcOffset = false;
};
