// Calibrated, moving-averaged power in dBm against time.

#include "views/PowerView.h"

#include "io/Recording.h"
#include "views/CustomPlot.h"
#include "views/ViewComputation.h"

#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

class PowerComputation : public ViewComputation
{
public:
    PowerComputation(PowerView* view, double fs, uint64_t count, double startTime, double stopTime,
                     const PowerCurveSettings& settings)
        : view(view), start(startTime), stop(stopTime), fs(fs), settings(settings),
          range(streamRangeOf(fs, count, startTime, stopTime)),
          width(std::max(1, view->plot->plotAreaWidth()))
    {
        const double xMin = static_cast<double>(range.first) / fs;
        const double xMax = static_cast<double>(range.end == 0 ? 0 : range.end - 1) / fs;
        stream = std::make_unique<PowerCurveStream>(range.first, range.size(), fs, settings, xMin, xMax, width);
    }

    BlockConsumer& consumer() override { return *stream; }

    bool finishPass() override
    {
        ++passes;
        curve = stream->result();
        if (passes > 1 || stream->frameHolds(curve))
            return true;
        // Finite values span less than the range: gather again over their own span.
        stream = std::make_unique<PowerCurveStream>(range.first, range.size(), fs, settings, curve.ranges.xMin,
                       curve.ranges.xMax, width);
        return false;
    }

    void present() override
    {
        if (!view)
            return;
        view->lastStartTime = start;
        view->lastStopTime = stop;
        view->averageWindowSamples = settings.window;
        view->fullScaleValueUnits = settings.fullScaleValue;
        view->fullScaleVoltageVolts = settings.fullScaleVoltage;
        view->inputImpedanceOhms = settings.inputImpedance;
        view->plot->setCurve(std::move(curve));
    }

private:
    QPointer<PowerView> view;
    double start;
    double stop;
    double fs;
    PowerCurveSettings settings;
    StreamRange range;
    int width;
    std::unique_ptr<PowerCurveStream> stream;
    ReducedCurve curve;
    int passes = 0;
};

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
    // Until an owner computes elsewhere, a new width recomputes here.
    plot->setWidthChangedHandler([this] { refresh(); });
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

PowerCurveSettings PowerView::settings() const
{
    return {averageWindowSamples, fullScaleValueUnits, fullScaleVoltageVolts, inputImpedanceOhms};
}

std::unique_ptr<ViewComputation> PowerView::computation(double fs, uint64_t count,
                                                        double startTime, double stopTime,
                                                        const PowerCurveSettings& settings)
{
    return std::make_unique<PowerComputation>(this, fs, count, startTime, stopTime, settings);
}

void PowerView::setTimeRange(double startTime, double stopTime)
{
    lastStartTime = startTime;
    lastStopTime = stopTime;
    const auto source = recording->samples();
    PowerComputation computation(this, static_cast<double>(recording->sampleRate()),
                                 source ? source->size() : 0, startTime, stopTime, settings());
    computeAndPresent(*recording, startTime, stopTime, removeDcOffset, {&computation});
}

void PowerView::refresh()
{
    setTimeRange(lastStartTime, lastStopTime);
}

void PowerView::setWidthChangedHandler(const std::function<void()>& handler)
{
    plot->setWidthChangedHandler(handler);
}

void PowerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}

bool PowerView::needsNewWidth() const
{
    return plot->curveNeedsNewWidth();
}
