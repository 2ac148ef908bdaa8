// Raw I and Q against time: every sample of the range becomes a point.

#include "views/AmplitudeView.h"

#include "io/Recording.h"
#include "views/CustomPlot.h"
#include "views/PlotMath.h"

#include <QVBoxLayout>

#include <algorithm>

namespace {

// Samples present in both sequences: never index past either.
uint32_t usableCount(const Recording& recording)
{
    return static_cast<uint32_t>(std::min<size_t>(
        {recording.sampleCount(), recording.iSamples().size(), recording.qSamples().size()}));
}

} // namespace

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
}

AmplitudeView::~AmplitudeView() = default;

void AmplitudeView::setTimeRange(double startTime, double stopTime)
{
    const double fs = static_cast<double>(recording->sampleRate());
    const SampleRange range = sampleRange(fs, usableCount(*recording), startTime, stopTime);
    // Both plots (and the power view, for the same range) hold one time vector.
    const auto t = sharedSampleTimes(range, fs);
    const auto& i = recording->iSamples();
    const auto& q = recording->qSamples();
    iPlot->setDataSharingX(t, std::vector<double>(i.begin() + range.first, i.begin() + range.end), true);
    qPlot->setDataSharingX(t, std::vector<double>(q.begin() + range.first, q.begin() + range.end), true);
}

void AmplitudeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}
