// Raw I and Q against time: every sample of the range is drawn, each pixel
// column reduced to the points it shows.

#include "views/AmplitudeView.h"

#include "io/Recording.h"
#include "plotdata/AmplitudeStream.h"
#include "views/CustomPlot.h"
#include "views/ViewComputation.h"

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
    // Until an owner computes elsewhere, a new width recomputes here.
    iPlot->setWidthChangedHandler([this] { setTimeRange(shownStart, shownStop); });
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

void AmplitudeView::setWidthChangedHandler(const std::function<void()>& handler)
{
    iPlot->setWidthChangedHandler(handler);
}

bool AmplitudeView::needsNewWidth() const
{
    return iPlot->curveNeedsNewWidth() || qPlot->curveNeedsNewWidth();
}
