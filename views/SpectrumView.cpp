// Welch spectrum of the time range, centred, in dB, cut to the band.

#include "views/SpectrumView.h"

#include "dsp/WelchStream.h"
#include "io/Recording.h"
#include "views/CustomPlot.h"
#include "views/PlotMath.h"
#include "views/SpectrumCurve.h"
#include "views/ViewComputation.h"

#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Sizes the view computes: powers of two from 2 up to 2^24 points. Others
// (including what an overflowing 2^exponent turns into) give an empty curve.
constexpr uint32_t largestFftSize = 1u << 24;

bool usableFftSize(uint32_t n)
{
    return n >= 2 && n <= largestFftSize && (n & (n - 1)) == 0;
}

} // namespace

class SpectrumComputation : public ViewComputation
{
public:
    SpectrumComputation(SpectrumView* view, uint32_t sampleRate, uint64_t count, double startTime,
                        double stopTime, const SpectrumSettings& settings)
        : view(view), start(startTime), stop(stopTime), rate(sampleRate), settings(settings),
          range(streamRangeOf(static_cast<double>(sampleRate), count, startTime, stopTime))
    {
        if (range.size() == 0 || !usableFftSize(settings.fftSize))
            return;
        // Overlap count in samples, kept within 0 ... N whatever the fraction.
        const uint32_t n = settings.fftSize;
        const double shared = static_cast<double>(n) * settings.overlap;
        const uint32_t v = !(shared > 0) ? 0 : shared >= n ? n : static_cast<uint32_t>(shared);
        stream = std::make_unique<WelchStream>(range.first, range.size(), n, n, v);
    }

    BlockConsumer& consumer() override { return stream ? static_cast<BlockConsumer&>(*stream) : idle; }

    bool finishPass() override
    {
        if (stream)
            power = stream->result();
        return true;
    }

    void present() override
    {
        if (!view)
            return;
        view->startTime = start;
        view->stopTime = stop;
        view->fftSize = settings.fftSize;
        view->overlap = settings.overlap;
        view->startFrequency = settings.startFrequency;
        view->stopFrequency = settings.stopFrequency;
        if (!stream) {
            view->plot->setData({}, {}, false);
            return;
        }
        SpectrumCurve curve =
            spectrumCurve(power, rate, settings.startFrequency, settings.stopFrequency);
        view->plot->setData(std::move(curve.frequency), std::move(curve.power), false);
    }

private:
    QPointer<SpectrumView> view;
    double start;
    double stop;
    uint32_t rate;
    SpectrumSettings settings;
    StreamRange range;
    std::unique_ptr<WelchStream> stream;
    IdleConsumer idle;
    std::vector<double> power;
};

SpectrumView::SpectrumView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    plot = new CustomPlot("Frequency (Hz)", "Power spectral density (dB/Hz)", this);
    plot->setObjectName("plot");
    plot->setAxisQuantities(AxisQuantity::Frequency, AxisQuantity::Number);
    layout->addWidget(plot);
    setLayout(layout);
}

SpectrumView::~SpectrumView() = default;

void SpectrumView::setFftSize(int points)
{
    fftSize = points < 0 ? 0 : static_cast<uint32_t>(points);
}

void SpectrumView::setOverlap(double fraction)
{
    overlap = fraction;
}

void SpectrumView::setStartFrequency(double hertz)
{
    startFrequency = hertz;
}

void SpectrumView::setStopFrequency(double hertz)
{
    stopFrequency = hertz;
}

SpectrumSettings SpectrumView::settings() const
{
    return {fftSize, overlap, startFrequency, stopFrequency};
}

std::unique_ptr<ViewComputation> SpectrumView::computation(uint32_t sampleRate, uint64_t count,
                                                           double startTime, double stopTime,
                                                           const SpectrumSettings& settings)
{
    return std::make_unique<SpectrumComputation>(this, sampleRate, count, startTime, stopTime,
                                                 settings);
}

void SpectrumView::setTimeRange(double startTime, double stopTime)
{
    this->startTime = startTime;
    this->stopTime = stopTime;
    const auto source = recording->samples();
    SpectrumComputation computation(this, recording->sampleRate(), source ? source->size() : 0,
                                    startTime, stopTime, settings());
    computeAndPresent(*recording, startTime, stopTime, removeDcOffset, {&computation});
}

void SpectrumView::refresh()
{
    setTimeRange(startTime, stopTime);
}

void SpectrumView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}
