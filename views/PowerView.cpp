// Calibrated, moving-averaged power in dBm against time.

#include "views/PowerView.h"

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

PowerView::PowerView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    plot = new CustomPlot("Time (s)", "Power (dBm)", this);
    plot->setObjectName("plot");
    plot->setAxisQuantities(AxisQuantity::Time, AxisQuantity::Number);
    layout->addWidget(plot);
    setLayout(layout);
}

PowerView::~PowerView() = default;

void PowerView::setAverageWindow(int samples)
{
    averageWindowSamples = static_cast<uint32_t>(samples);
}

void PowerView::setFullScaleValue(double value)
{
    fullScaleValueUnits = value;
}

void PowerView::setFullScaleVoltage(double volts)
{
    fullScaleVoltageVolts = volts;
}

void PowerView::setInputImpedance(double ohms)
{
    inputImpedanceOhms = ohms;
}

void PowerView::setTimeRange(double startTime, double stopTime)
{
    lastStartTime = startTime;
    lastStopTime = stopTime;
    const double fs = static_cast<double>(recording->sampleRate());
    const SampleRange range = sampleRange(fs, usableCount(*recording), startTime, stopTime);
    std::vector<double> curve = powerCurve(
        recording->iSamples().data() + range.first, recording->qSamples().data() + range.first,
        range.size(), averageWindowSamples, fullScaleValueUnits, fullScaleVoltageVolts,
        inputImpedanceOhms);
    // The time vector is shared with the amplitude view's plots of the same range.
    plot->setDataSharingX(sharedSampleTimes(range, fs), std::move(curve), false);
}

void PowerView::refresh()
{
    setTimeRange(lastStartTime, lastStopTime);
}

void PowerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}
