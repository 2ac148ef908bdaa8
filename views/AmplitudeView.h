#pragma once
// Raw I and Q values of a time range as two stacked line plots against time.

#include "session/ViewKind.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CustomPlot;
class Recording;
class SummarySet;
class ViewComputation;

class AmplitudeView : public QWidget, public ViewKind
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
    // Whether what is shown was computed for another plot width.
    bool needsNewWidth() const override;
    // The plots of I and of Q against time in seconds.
    CustomPlot* iPlotWidget() const { return iPlot; }
    CustomPlot* qPlotWidget() const { return qPlot; }

    // As a kind of view of a session: shown while the display says so, its
    // curves computed for the range and the DC offset.
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
    CustomPlot* iPlot;
    CustomPlot* qPlot;
    bool removeDcOffset = false;
    double shownStart = 0;
    double shownStop = 0;
};
