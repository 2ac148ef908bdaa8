// Calibrated, moving-averaged power in dBm against time.

#include "views/PowerView.h"

#include "io/Recording.h"
#include "plotdata/BandPowerStream.h"
#include "session/SummaryBuilds.h"
#include "session/ViewComputation.h"
#include "views/CaptureMarkers.h"
#include "views/CustomPlot.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

PowerView::PowerView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    plot = new CustomPlot("Time (s)", "Power (dBm)", this);
    plot->setObjectName("plot");
    plot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    plot->setValueDescription({QString(), QStringLiteral("dBm"), 2});
    layout->addWidget(plot);
    setLayout(layout);
    // A new width is computed by the session showing the view, or here.
    plot->setWidthChangedHandler([this] {
        if (!askForNewWidth())
            refresh();
    });
}

PowerView::~PowerView() = default;

std::unique_ptr<ViewComputation> PowerView::computation(double fs, uint64_t count,
                                                        double startTime, double stopTime,
                                                        const PowerCurveSettings& settings,
                                                        std::shared_ptr<SummarySet> summaries)
{
    const StreamRange range = streamRangeOf(fs, count, startTime, stopTime);
    const int width = std::max(1, plot->plotAreaWidth());
    return presentedBy<CurvePass>(
        this,
        settings.band ? bandPowerPass(range, fs, settings, settings.band->first, settings.band->second, width)
                      : powerCurvePass(count, range, fs, settings, width, std::move(summaries)),
        [this, startTime, stopTime, settings](CurvePass& done) {
            lastStartTime = startTime;
            lastStopTime = stopTime;
            current = settings;
            const QString unit = settings.relativeToFullScale ? QStringLiteral("dBFS") : QStringLiteral("dBm");
            plot->setYTitle("Power (" + unit + ")");
            plot->setValueDescription({QString(), unit, 2});
            plot->setCurve(std::move(done.curves().at(0)));
        });
}

void PowerView::setTimeRange(double startTime, double stopTime)
{
    lastStartTime = startTime;
    lastStopTime = stopTime;
    const double fs = static_cast<double>(recording->sampleRate());
    computeAndPresent(*recording, startTime, stopTime, removeDcOffset,
                      computation(fs, sampleCountOf(*recording), startTime, stopTime, settings()));
}

void PowerView::refresh()
{
    setTimeRange(lastStartTime, lastStopTime);
}

bool PowerView::needsNewWidth() const
{
    return plot->curveNeedsNewWidth();
}

bool PowerView::active(const ViewSettings& settings) const
{
    return settings.display.showPower;
}

void PowerView::setShown(ViewSettings& settings, bool shown) const
{
    settings.display.showPower = shown;
}

void PowerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    tellVisibility(!isHidden());
}

void PowerView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    tellVisibility(!isHidden());
}

bool PowerView::outdated(const ViewSettings& computed, const ViewSettings& next) const
{
    return !(computed.range == next.range) || computed.removeDc != next.removeDc
           || !samePowerCurve(computed.powerCurve(), next.powerCurve());
}

std::unique_ptr<ViewComputation> PowerView::computation(const ViewSettings& settings,
                                                        const RecordingFacts& recording)
{
    return computation(recording.sampleRate, recording.sampleCount, settings.range.start, settings.range.stop,
                       settings.powerCurve(), recording.summaries);
}

void PowerView::present(const Presentation& presentation)
{
    const ViewSettings& settings = presentation.settings;
    removeDcOffset = settings.removeDc;
    plot->setTimeUnitMagnitude(settings.range.unitMagnitude());
    setVisible(settings.display.showPower);
    if (presentation.computed)
        plot->setMarkers(captureMarkers(recording->info(), static_cast<double>(recording->sampleRate())));
}

void PowerView::addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const
{
    needs.power = settings.powerCurve();
}

bool PowerView::laidOut() const
{
    return window()->isVisible();
}
