// Welch spectrum of the time range, centred, in dB, cut to the band.

#include "views/SpectrumView.h"

#include "dsp/Spectrum.h"
#include "io/Recording.h"
#include "views/CustomPlot.h"
#include "views/PlotMath.h"
#include "views/SpectrumCurve.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// Sizes the view computes: powers of two from 2 up to 2^24 points. Others
// (including what an overflowing 2^exponent turns into) give an empty curve.
constexpr uint32_t largestFftSize = 1u << 24;

bool usableFftSize(uint32_t n)
{
    return n >= 2 && n <= largestFftSize && (n & (n - 1)) == 0;
}

} // namespace

SpectrumView::SpectrumView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording)
{
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    plot = new CustomPlot("Frequency (Hz)", "Power (dB/Hz)", this);
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

void SpectrumView::setTimeRange(double startTime, double stopTime)
{
    this->startTime = startTime;
    this->stopTime = stopTime;

    const uint32_t rate = recording->sampleRate();
    const double fs = static_cast<double>(rate);
    const auto& i = recording->iSamples();
    const auto& q = recording->qSamples();
    const uint32_t count = static_cast<uint32_t>(
        std::min<size_t>({recording->sampleCount(), i.size(), q.size()}));
    const SampleRange range = sampleRange(fs, count, startTime, stopTime);
    if (range.size() == 0 || !usableFftSize(fftSize)) {
        plot->setData({}, {}, false);
        return;
    }

    // Overlap count in samples, kept within 0 ... N whatever the fraction.
    const double shared = static_cast<double>(fftSize) * overlap;
    const uint32_t v = !(shared > 0) ? 0 : shared >= fftSize ? fftSize : static_cast<uint32_t>(shared);

    const std::vector<double> p = welchSpectrum(i.data() + range.first, q.data() + range.first,
                                                 range.size(), fftSize, fftSize, v);
    SpectrumCurve curve = spectrumCurve(p, rate, startFrequency, stopFrequency);
    plot->setData(std::move(curve.frequency), std::move(curve.power), false);
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
