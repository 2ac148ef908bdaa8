// Raw I and Q against time: every sample of the range is drawn, each pixel
// column reduced to the points it shows.

#include "views/AmplitudeView.h"

#include "io/Recording.h"
#include "views/AmplitudeStream.h"
#include "views/CustomPlot.h"
#include "views/ViewComputation.h"

#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

class AmplitudeComputation : public ViewComputation
{
public:
    AmplitudeComputation(AmplitudeView* view, double fs, uint64_t count, double startTime,
                         double stopTime)
        : view(view), start(startTime), stop(stopTime), fs(fs),
          range(streamRangeOf(fs, count, startTime, stopTime)),
          width(std::max(1, view->iPlot->plotAreaWidth()))
    {
        const double xMin = static_cast<double>(range.first) / fs;
        const double xMax = static_cast<double>(range.end == 0 ? 0 : range.end - 1) / fs;
        stream = std::make_unique<AmplitudeStream>(range.first, range.size(), fs, xMin, xMax, xMin, xMax, width);
    }

    BlockConsumer& consumer() override { return *stream; }

    bool finishPass() override
    {
        ++passes;
        i = stream->resultI();
        q = stream->resultQ();
        if (passes > 1 || stream->frameHolds(i, q))
            return true;
        // Finite points span less than the range: gather again over their own span.
        stream = std::make_unique<AmplitudeStream>(range.first, range.size(), fs, i.ranges.xMin, i.ranges.xMax, q.ranges.xMin,
                       q.ranges.xMax, width);
        return false;
    }

    void present() override
    {
        if (!view)
            return;
        view->shownStart = start;
        view->shownStop = stop;
        view->iPlot->setCurve(std::move(i));
        view->qPlot->setCurve(std::move(q));
    }

private:
    QPointer<AmplitudeView> view;
    double start;
    double stop;
    double fs;
    StreamRange range;
    int width;
    std::unique_ptr<AmplitudeStream> stream;
    ReducedCurve i;
    ReducedCurve q;
    int passes = 0;
};

AmplitudeView::AmplitudeView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    iPlot = new CustomPlot("Time (s)", "I amplitude", this);
    iPlot->setObjectName("iPlot");
    iPlot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    layout->addWidget(iPlot);
    qPlot = new CustomPlot("Time (s)", "Q amplitude", this);
    qPlot->setObjectName("qPlot");
    qPlot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    layout->addWidget(qPlot);
    setLayout(layout);
    // Until an owner computes elsewhere, a new width recomputes here.
    iPlot->setWidthChangedHandler([this] { setTimeRange(shownStart, shownStop); });
}

AmplitudeView::~AmplitudeView() = default;

std::unique_ptr<ViewComputation> AmplitudeView::computation(double fs, uint64_t count,
                                                            double startTime, double stopTime)
{
    return std::make_unique<AmplitudeComputation>(this, fs, count, startTime, stopTime);
}

void AmplitudeView::setTimeRange(double startTime, double stopTime)
{
    const auto source = recording->samples();
    AmplitudeComputation computation(this, static_cast<double>(recording->sampleRate()),
                                     source ? source->size() : 0, startTime, stopTime);
    computeAndPresent(*recording, startTime, stopTime, removeDcOffset, {&computation});
}

void AmplitudeView::setWidthChangedHandler(const std::function<void()>& handler)
{
    iPlot->setWidthChangedHandler(handler);
}

void AmplitudeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}

bool AmplitudeView::needsNewWidth() const
{
    return iPlot->curveNeedsNewWidth() || qPlot->curveNeedsNewWidth();
}
