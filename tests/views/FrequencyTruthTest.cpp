// The spectrogram and the spectrum read off the same frequencies and densities:
// narrow lines survive large FFT sizes, rows sit on their bins' frequencies, and
// both tabs show the Welch density per hertz.

#include "views/ColorMap.h"
#include "views/CustomPlot.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include "dsp/Spectrum.h"
#include "io/Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace {

constexpr double twoPi = 6.283185307179586;

struct Tone
{
    double frequency;
    double amplitude;
};

void assignTones(Recording& recording, uint32_t fs, size_t n, const std::vector<Tone>& tones)
{
    std::vector<double> i(n, 0.0), q(n, 0.0);
    for (const Tone& tone : tones)
        for (size_t k = 0; k < n; ++k) {
            const double phase = twoPi * std::fmod(tone.frequency * static_cast<double>(k) / fs, 1.0);
            i[k] += tone.amplitude * std::cos(phase);
            q[k] += tone.amplitude * std::sin(phase);
        }
    recording.assign(fs, std::move(i), std::move(q));
}

// Where a pixel's colour lies on the scale, 0 (bottom) ... 1 (top): the position
// whose colour is nearest.
double scalePosition(QRgb colour)
{
    double best = 0;
    int bestDistance = INT32_MAX;
    for (int k = 0; k <= 1000; ++k) {
        const QRgb c = mapColorRgb(k / 1000.0, 0.0, 1.0);
        const int d = std::abs(qRed(c) - qRed(colour)) + std::abs(qGreen(c) - qGreen(colour))
                      + std::abs(qBlue(c) - qBlue(colour));
        if (d < bestDistance) {
            bestDistance = d;
            best = k / 1000.0;
        }
    }
    return best;
}

// The Welch density (scipy's "density" scaling, symmetric Hann window) of
// frequency f over the first segment of N samples, from a literal DFT.
double literalDensityDb(const Recording& recording, uint32_t N, double f)
{
    const std::vector<double> w = hannWindow(N);
    const double fs = recording.sampleRate();
    std::complex<long double> sum = 0;
    long double power = 0;
    for (uint32_t n = 0; n < N; ++n) {
        const long double angle = -2.0L * 3.14159265358979323846L * f * n / fs;
        sum += std::complex<long double>(recording.iSamples()[n] * w[n], recording.qSamples()[n] * w[n])
               * std::complex<long double>(std::cos(angle), std::sin(angle));
        power += static_cast<long double>(w[n]) * w[n];
    }
    return static_cast<double>(10 * std::log10(std::norm(sum) / (fs * power)));
}

double binFrequency(int bin, uint32_t N, double fs)
{
    return (bin - static_cast<int>(N / 2)) * fs / N;
}

} // namespace

// At every FFT size each line's pixel row reaches its level's colour: the
// strongest at the top of the scale, one 20 dB weaker half-way down a 40 dB
// scale, however many bins share a pixel row.
TEST(SpectrogramLines, EveryBinVisibleAtEveryFftSize)
{
    Recording recording;
    const std::vector<Tone> tones{{125000, 1.0}, {-250000, 0.1}};
    assignTones(recording, 1000000, 200000, tones);
    SpectrogramView view(&recording);
    view.resize(700, 400); // a plot 330 pixels high
    for (int exponent = 4; exponent <= 15; ++exponent) {
        SCOPED_TRACE(exponent);
        view.setFftExponent(exponent);
        view.setStartFrequency(-500000);
        view.setStopFrequency(500000);
        view.setTimeRange(0, 0.2);
        view.rebuildImage();
        const QImage shown = view.grab().toImage();
        const QRect plot = view.plotRect();
        const int top = view.maxPower();
        const int bottom = top - 40;
        // The strongest cell is the unit tone's, |X|^2 / (N fs) (the density times
        // the window's power over N); the weak one lies 20 dB below it.
        double windowPower = 0;
        for (double w : hannWindow(view.fftSize()))
            windowPower += w * w;
        const double strongest = literalDensityDb(recording, view.fftSize(), 125000)
                                 - 10 * std::log10(view.fftSize() / windowPower);
        const std::vector<double> levels{strongest, strongest - 20};
        for (size_t t = 0; t < tones.size(); ++t) {
            const int y = static_cast<int>(view.frequencyAxisMap().pixelAt(tones[t].frequency));
            double reached = 0;
            for (int row = y - 1; row <= y + 1; ++row)
                reached = std::max(reached, scalePosition(shown.pixel(plot.center().x(), row)));
            const double expected = (levels[t] - bottom) / (top - bottom);
            EXPECT_NEAR(reached, std::min(expected, 1.0), 0.05) << tones[t].frequency;
        }
        // What the readout gives for a pixel is what the pixel shows.
        const double correction = 10 * std::log10(view.fftSize() / windowPower);
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            const std::optional<double> value = view.valueAt(QPoint(plot.center().x(), y));
            ASSERT_TRUE(value.has_value());
            ASSERT_EQ(shown.pixel(plot.center().x(), y) & 0xffffff,
                      mapColorRgb(*value - correction, bottom, top) & 0xffffff)
                << y;
        }
        EXPECT_GT(scalePosition(shown.pixel(plot.center().x(),
                                            static_cast<int>(view.frequencyAxisMap().pixelAt(125000)))),
                  0.95);
    }
}

// Tones at awkward frequencies: the spectrogram's brightest row, its readout and
// the spectrum's peak lie within half a bin of the tone, and both tabs show the
// literal Welch density within 0.1 dB.
TEST(SpectrogramLines, BothTabsAgreeOnFrequencyAndDensity)
{
    struct Row
    {
        uint32_t fs;
        int exponent;
        double frequency;
    } rows[] = {
        {250000, 4, 62500},     // on a bin centre
        {250000, 4, -31250},
        {200000, 8, 40000},     // between bins
        {200000, 8, 50000},
        {1000000, 10, 499000},  // near +fs/2
        {1000000, 10, -499700}, // near -fs/2
        {44100, 9, 1000.3},
        {1000001, 8, 123456.7}, // an odd rate
        {48000, 7, -7777.7},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.frequency);
        Recording recording;
        assignTones(recording, r.fs, 40000, {{r.frequency, 0.5}});
        const uint32_t N = 1u << r.exponent;
        const double binWidth = static_cast<double>(r.fs) / N;
        const double half = std::floor(r.fs / 2.0);
        const double duration = 40000.0 / r.fs;

        SpectrogramView spectrogram(&recording);
        spectrogram.resize(700, 1200); // every bin at least one pixel row
        spectrogram.setFftExponent(r.exponent);
        spectrogram.setStartFrequency(-half);
        spectrogram.setStopFrequency(half);
        spectrogram.setTimeRange(0, duration);
        spectrogram.rebuildImage();
        const QImage shown = spectrogram.grab().toImage();
        const QRect plot = spectrogram.plotRect();
        const int x = plot.center().x();
        int brightestTop = -1;
        int brightestBottom = -1;
        double brightest = -1;
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            const double p = scalePosition(shown.pixel(x, y));
            if (p > brightest) {
                brightest = p;
                brightestTop = brightestBottom = y;
            } else if (p == brightest && brightestBottom == y - 1) {
                brightestBottom = y;
            }
        }
        const double rowFrequency =
            spectrogram.frequencyAxisMap().valueAt((brightestTop + brightestBottom + 1) / 2.0);
        EXPECT_LE(std::fabs(rowFrequency - r.frequency), binWidth / 2);

        // The readout's value there: the density of the tone's bin.
        const int peakBin = static_cast<int>(std::lround(r.frequency / binWidth)) + static_cast<int>(N / 2);
        const double literal = literalDensityDb(recording, N, binFrequency(peakBin, N, r.fs));
        const std::optional<double> readout =
            spectrogram.valueAt(QPoint(x, (brightestTop + brightestBottom) / 2));
        ASSERT_TRUE(readout.has_value());
        EXPECT_NEAR(*readout, literal, 0.1);

        SpectrumView spectrum(&recording);
        spectrum.resize(700, 500);
        spectrum.setFftSize(static_cast<int>(N));
        spectrum.setOverlap(0.8);
        spectrum.setStartFrequency(-half);
        spectrum.setStopFrequency(half);
        spectrum.setTimeRange(0, duration);
        const std::vector<double>& f = spectrum.plotWidget()->xValues();
        const std::vector<double>& p = spectrum.plotWidget()->yValues();
        ASSERT_EQ(p.size(), N);
        const size_t peak = static_cast<size_t>(std::max_element(p.begin(), p.end()) - p.begin());
        EXPECT_LE(std::fabs(f[peak] - r.frequency), binWidth / 2);
        EXPECT_NEAR(f[peak], binFrequency(peakBin, N, r.fs), binWidth / 2);
        EXPECT_NEAR(p[peak], literal, 0.1);
    }
}
