#pragma once
// Raw I and Q values of a time range as two stacked line plots against time.

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CustomPlot;
class Recording;
class SummarySet;
class ViewComputation;

class AmplitudeView : public QWidget
{
public:
    AmplitudeView(Recording* recording, QWidget* parent = nullptr);
    ~AmplitudeView() override;

    // Start and stop in seconds; recomputes both curves from the recording
    // before it returns (every sample of the range is drawn, reduced to what
    // each pixel column shows).
    void setTimeRange(double startTime, double stopTime);
    // The same computation for a recording of `count` samples at fs, for the
    // plots' current width, to be run on any thread and presented here; with
    // the recording's summaries, put together from them where they reach.
    std::unique_ptr<ViewComputation> computation(double fs, uint64_t count, double startTime,
                                                 double stopTime, std::shared_ptr<SummarySet> summaries = nullptr);

    // Remove the range's mean from I and Q in setTimeRange.
    void setRemoveDc(bool remove) { removeDcOffset = remove; }
    // The time range shown last.
    double startTime() const { return shownStart; }
    double stopTime() const { return shownStop; }
    // Called when the plots change width under curves reduced for another.
    // Whether what is shown was computed for another plot width.
    bool needsNewWidth() const;
    void setWidthChangedHandler(const std::function<void()>& handler);
    // The plots of I and of Q against time in seconds.
    CustomPlot* iPlotWidget() const { return iPlot; }
    CustomPlot* qPlotWidget() const { return qPlot; }

private:
    Recording* recording;
    CustomPlot* iPlot;
    CustomPlot* qPlot;
    bool removeDcOffset = false;
    double shownStart = 0;
    double shownStop = 0;
};
