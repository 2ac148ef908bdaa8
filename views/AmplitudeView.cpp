// Raw I and Q against time: every sample of the range is drawn, each pixel
// column reduced to the points it shows.

#include "views/AmplitudeView.h"

#include "io/Recording.h"
#include "plotdata/AmplitudeStream.h"
#include "session/SummaryBuilds.h"
#include "session/ViewComputation.h"
#include "views/CaptureMarkers.h"
#include "views/CustomPlot.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

AmplitudeView::AmplitudeView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    iPlot = new CustomPlot("Time (s)", "I amplitude", this);
    iPlot->setObjectName("iPlot");
    iPlot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    iPlot->setValueDescription({QStringLiteral("I"), QString(), -1});
    layout->addWidget(iPlot);
    qPlot = new CustomPlot("Time (s)", "Q amplitude", this);
    qPlot->setObjectName("qPlot");
    qPlot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    qPlot->setValueDescription({QStringLiteral("Q"), QString(), -1});
    layout->addWidget(qPlot);
    setLayout(layout);
    // A new width is computed by the session showing the view, or here.
    iPlot->setWidthChangedHandler([this] {
        if (!askForNewWidth())
            setTimeRange(shownStart, shownStop);
    });
}

AmplitudeView::~AmplitudeView() = default;

std::unique_ptr<ViewComputation> AmplitudeView::computation(double fs, uint64_t count,
                                                            double startTime, double stopTime,
                                                            std::shared_ptr<SummarySet> summaries)
{
    const StreamRange range = streamRangeOf(fs, count, startTime, stopTime);
    return presentedBy<CurvePass>(this,
                                  amplitudePass(range, fs, std::max(1, iPlot->plotAreaWidth()), std::move(summaries)),
                                  [this, startTime, stopTime](CurvePass& done) {
                                      shownStart = startTime;
                                      shownStop = stopTime;
                                      iPlot->setCurve(std::move(done.curves().at(0)));
                                      qPlot->setCurve(std::move(done.curves().at(1)));
                                  });
}

void AmplitudeView::setTimeRange(double startTime, double stopTime)
{
    const double fs = static_cast<double>(recording->sampleRate());
    computeAndPresent(*recording, startTime, stopTime, removeDcOffset,
                      computation(fs, sampleCountOf(*recording), startTime, stopTime));
}

bool AmplitudeView::needsNewWidth() const
{
    return iPlot->curveNeedsNewWidth() || qPlot->curveNeedsNewWidth();
}

bool AmplitudeView::active(const ViewSettings& settings) const
{
    return settings.display.showAmplitude;
}

void AmplitudeView::setShown(ViewSettings& settings, bool shown) const
{
    settings.display.showAmplitude = shown;
}

void AmplitudeView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    tellVisibility(!isHidden());
}

void AmplitudeView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    tellVisibility(!isHidden());
}

bool AmplitudeView::outdated(const ViewSettings& computed, const ViewSettings& next) const
{
    return !(computed.range == next.range) || computed.removeDc != next.removeDc;
}

std::unique_ptr<ViewComputation> AmplitudeView::computation(const ViewSettings& settings,
                                                            const RecordingFacts& recording)
{
    return computation(recording.sampleRate, recording.sampleCount, settings.range.start, settings.range.stop,
                       recording.summaries);
}

void AmplitudeView::present(const Presentation& presentation)
{
    removeDcOffset = presentation.settings.removeDc;
    iPlot->setTimeUnitMagnitude(presentation.settings.range.unitMagnitude());
    qPlot->setTimeUnitMagnitude(presentation.settings.range.unitMagnitude());
    setVisible(presentation.settings.display.showAmplitude);
    if (presentation.computed) {
        const std::vector<MarkerLine> lines =
            captureMarkers(recording->info(), static_cast<double>(recording->sampleRate()));
        iPlot->setMarkers(lines);
        qPlot->setMarkers(lines);
    }
}

void AmplitudeView::addSummaryNeeds(const ViewSettings&, SummaryNeeds& needs) const
{
    needs.amplitude = true;
}

bool AmplitudeView::laidOut() const
{
    return window()->isVisible();
}
