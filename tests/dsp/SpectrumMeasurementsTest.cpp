// Markers and band measurements against truths built into generated signals: tones
// of known frequency and amplitude, white and band-limited noise of known power.

#include "dsp/Fft.h"
#include "dsp/MeasurementReport.h"
#include "dsp/SpectrumMeasurements.h"
#include "dsp/WelchAccumulator.h"
#include "dsp/WelchStatistics.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <iostream>
#include <numbers>

namespace {

using Complex = std::complex<double>;
const PowerCalibration calibration{32768.0, 0.5, 50.0};

// Amplitude `amplitude` at f Hz added to x, the phase in long double.
void addTone(std::vector<Complex>& x, double f, double fs, double amplitude)
{
    for (size_t n = 0; n < x.size(); ++n) {
        const long double angle = 2.0L * std::numbers::pi_v<long double> * f / fs * (long double)n;
        x[n] += amplitude * Complex(double(std::cos(angle)), double(std::sin(angle)));
    }
}

// The power view's mean over the samples, in dBm.
double meanDbm(const std::vector<Complex>& x)
{
    const double V = calibration.fullScaleVoltage, FS = calibration.fullScaleValue;
    double sum = 0;
    for (Complex v : x)
        sum += V * V * ((v.real() * v.real() + v.imag() * v.imag()) / (FS * FS)) / 2 / calibration.inputImpedance;
    return 10 * std::log10(sum / double(x.size()) / 1e-3);
}

// The Welch estimate (L = N) of x with what its measurements need.
struct Estimate
{
    std::vector<double> power;
    double fs, kEff;
    uint32_t L;
    MeasuredSpectrum spectrum() const { return {power, fs, L, kEff}; }
};

Estimate welch(const std::vector<Complex>& x, uint32_t N, double overlap, double fs)
{
    WelchAccumulator sums(x.size(), N, N, uint32_t(overlap * N), 1);
    sums.add(x.data(), loadComplexSegment, sums.segmentCount(), nullptr);
    return {sums.result(), fs, effectiveSegments(sums.segmentCount(), sums.segmentLength(), sums.hop()),
            sums.segmentLength()};
}

} // namespace

// Tones on, between and a quarter off bin centres, next to +-fs/2, at odd rates:
// the marker within 0.1 bin, its power within 0.1 dB, the whole band's channel
// power equal to the samples' mean power.
TEST(SpectrumMeasurements, TonesAtAwkwardFrequencies)
{
    struct Row { uint32_t N; double fs, bins, amplitude; };
    const Row rows[] = {
        {1024, 1e6, 100.0, 1000}, {1024, 1e6, -37.5, 1000}, {256, 48000, 20.25, 30000},
        {256, 48000, -60.75, 3}, {64, 999983, 31.7, 100}, {64, 999983, -32.0, 100},
        {4096, 12345.678, -2047.6, 500}, {32768, 2.5e6, 16383.6, 2000}, {16, 10, 3.3, 1000},
        {4096, 1.0, 0.0, 1.0}, {512, 3e6, -255.9, 20000},
    };
    for (const Row& row : rows) {
        const double f = row.bins * row.fs / row.N;
        std::vector<Complex> x(row.N * 3);
        addTone(x, f, row.fs, row.amplitude);
        const Estimate e = welch(x, row.N, 0.5, row.fs);
        const std::optional<SpectrumMarker> peak = spectrumPeak(e.spectrum(), -row.fs, row.fs, calibration);
        ASSERT_TRUE(peak) << "bins " << row.bins;
        EXPECT_NEAR(std::remainder(peak->frequencyHz - f, row.fs) / row.fs * row.N, 0.0, 0.1) << "bins " << row.bins;
        EXPECT_NEAR(*peak->powerDbm, meanDbm(x), 0.1) << "bins " << row.bins;
        EXPECT_NEAR(*measureBand(e.spectrum(), -row.fs / 2, row.fs / 2, calibration).channelPowerDbm, meanDbm(x), 0.01);
    }
}

// A lone tone at every offset from a bin centre, with whole and zero-filled
// segments: the marker's frequency within 0.005 bin (the window's own response is
// inverted, so it is exact but for rounding), its density that of a tone on a bin
// centre.
TEST(SpectrumMeasurements, PeakOfALoneToneAtEveryOffset)
{
    struct Row { uint32_t N, L; double fs, bin; };
    const Row rows[] = {{256, 256, 48000, 40}, {1024, 1024, 1e6, -300}, {1024, 600, 2.5e6, 100}, {64, 64, 1000, -32}};
    double worst = 0;
    for (const Row& row : rows) {
        const double amplitude = 0.25;
        double centreLevel = 0;
        for (int step = 0; step <= 10; ++step) {
            for (int sign : {1, -1}) {
                const double offset = sign * 0.05 * step;
                const double f = (row.bin + offset) * row.fs / row.N;
                std::vector<Complex> x(row.L * 4);
                addTone(x, f, row.fs, amplitude);
                WelchAccumulator sums(x.size(), row.N, row.L, row.L / 2, 1);
                sums.add(x.data(), loadComplexSegment, sums.segmentCount(), nullptr);
                const std::vector<double> power = sums.result();
                const MeasuredSpectrum spectrum{power, row.fs, row.L, 1.0};
                const std::optional<SpectrumMarker> peak = spectrumPeak(spectrum, -row.fs / 2, row.fs / 2, calibration);
                ASSERT_TRUE(peak);
                const double error = std::abs(std::remainder(peak->frequencyHz - f, row.fs)) / row.fs * row.N;
                worst = std::max(worst, error);
                EXPECT_LT(error, 0.005) << "N " << row.N << " L " << row.L << " offset " << offset;
                if (step == 0)
                    centreLevel = peak->densityDbHz;
                EXPECT_NEAR(peak->densityDbHz, centreLevel, 0.001) << "N " << row.N << " offset " << offset;
            }
        }
    }
    std::cout << "largest marker error: " << worst << " bin\n";
}

// White noise of power s^2 at rate fs reads 10 log10(s^2 / fs) dB/Hz within 0.5 dB,
// from one segment (or less) to thousands.
TEST(SpectrumMeasurements, NoiseDensityOfWhiteNoise)
{
    struct Row { uint32_t N; size_t samples; double overlap, power, fs; };
    const Row rows[] = {
        {16384, 16384, 0.5, 1.0, 1e6}, {8192, 12288, 0.5, 2e-4, 1e6}, {8192, 6000, 0.5, 1.0, 48000},
        {1024, 4096, 0.75, 10.0, 2e6}, {256, 5000, 0.9, 1.0, 1e6}, {64, 200000, 0.5, 1e-6, 8000},
        {2048, 300000, 0.0, 1.0, 1e6},
    };
    uint32_t seed = 1;
    for (const Row& row : rows) {
        const Estimate e = welch(whiteNoise(row.samples, row.power, seed++), row.N, row.overlap, row.fs);
        const BandMeasurements m = measureBand(e.spectrum(), -row.fs / 2, row.fs / 2, calibration);
        EXPECT_NEAR(*m.noiseDensityDbHz, 10 * std::log10(row.power / row.fs), 0.5) << "N " << row.N << " samples " << row.samples;
    }
}

// Noise filling [low, high] Hz evenly: 99 % (90 %) of it within 5 % of 0.99 (0.90)
// of the width, edges placed to 5 % of it, mean frequency in the middle.
TEST(SpectrumMeasurements, OccupiedBandwidthOfFlatNoise)
{
    struct Row { uint32_t N; double fs, low, high, percent; };
    const Row rows[] = {
        {1024, 1e6, -300e3, 100e3, 99}, {256, 48000, 2000, 9000, 99}, {4096, 1e6, -20e3, -5e3, 90},
        {512, 2e6, -1e6, 1e6, 99},
    };
    const uint32_t e = 17, M = 1u << e;
    std::mt19937_64 rng(5);
    std::normal_distribution<double> normal;
    for (const Row& row : rows) {
        // x[n] = sum_k Y[k] exp(-2 pi i k n / M): Y at -f is the tone at +f.
        std::vector<Complex> y(M), x(M);
        for (uint32_t k = 0; k < M; ++k) {
            const double f = (k < M / 2 ? -double(k) : double(M - k)) * row.fs / M;
            if (f >= row.low && f < row.high)
                y[k] = {normal(rng), normal(rng)};
        }
        fft(e, y.data(), x.data());
        const Estimate est = welch(x, row.N, 0.5, row.fs);
        const BandMeasurements m = measureBand(est.spectrum(), -row.fs / 2, row.fs / 2, calibration, row.percent);
        const double width = row.high - row.low, cut = (1 - row.percent / 100) / 2 * width;
        EXPECT_NEAR(*m.occupiedBandwidthHz / (row.percent / 100 * width), 1.0, 0.05) << row.low;
        EXPECT_NEAR(*m.occupiedLowHz, row.low + cut, 0.05 * width);
        EXPECT_NEAR(*m.occupiedHighHz, row.high - cut, 0.05 * width);
        EXPECT_NEAR(*m.meanFrequencyHz, (row.low + row.high) / 2, 0.02 * width);
    }
}

// A tone in noise: SNR = tone power / (noise density x band width) within 1 dB,
// noise density within 0.5 dB with the tone in the band, peak frequency on the tone.
TEST(SpectrumMeasurements, SnrOfToneInNoise)
{
    struct Row { uint32_t N; double fs, toneBins, snrDb; int lowBin, highBin; };
    const Row rows[] = {
        {1024, 1e6, 100.3, 20, 50, 150}, {1024, 1e6, 100.3, 0, 90, 110}, {256, 48000, -30.5, 40, -128, 127},
        {4096, 2e6, 0.25, 10, -400, 400}, {512, 1e6, 200.0, 30, 150, 255},
    };
    uint32_t seed = 40;
    for (const Row& row : rows) {
        const double df = row.fs / row.N, lowHz = (row.lowBin - 0.5) * df, highHz = (row.highBin + 0.5) * df;
        const double noisePower = 1.0, noiseInBand = noisePower * (highHz - lowHz) / row.fs;
        std::vector<Complex> x = whiteNoise(1 << 18, noisePower, seed++);
        addTone(x, row.toneBins * df, row.fs, std::sqrt(noiseInBand * std::pow(10, row.snrDb / 10)));
        const Estimate e = welch(x, row.N, 0.5, row.fs);
        const BandMeasurements m = measureBand(e.spectrum(), lowHz, highHz, calibration);
        EXPECT_NEAR(*m.snrDb, row.snrDb, 1.0) << "band " << row.lowBin << " ... " << row.highBin;
        EXPECT_NEAR(*m.noiseDensityDbHz, 10 * std::log10(noisePower / row.fs), 0.5);
        EXPECT_NEAR(*m.peakFrequencyHz, row.toneBins * df, 0.1 * df);
        EXPECT_NEAR(*measureBand(e.spectrum(), -row.fs / 2, row.fs / 2, calibration).channelPowerDbm, meanDbm(x), 0.01);
    }
}

// Tones at 100.3 bins (0 dB), -200.7 (-20 dB), 300.5 (-40 dB) over noise at -90 dB per
// bin: each next peak found from the markers and from 0 Hz, none past the last one,
// none beyond the band or the excursion.
TEST(SpectrumMeasurements, NextPeakLeftAndRight)
{
    const uint32_t N = 1024;
    constexpr double fs = 1e6;
    const double df = fs / N, tones[] = {100.3 * df, -200.7 * df, 300.5 * df};
    std::vector<Complex> x = whiteNoise(N * 16, 1e-9, 3);
    for (int t = 0; t < 3; ++t)
        addTone(x, tones[t], fs, std::pow(10.0, -t));
    const Estimate e = welch(x, N, 0.5, fs);
    struct Row { double from; PeakDirection direction; int expected; double highHz = fs, excursionDb = 6; };
    const PeakDirection right = PeakDirection::right, left = PeakDirection::left;
    const Row rows[] = {
        {tones[0], right, 2}, {tones[0], left, 1}, {tones[1], right, 0}, {tones[1], left, -1},
        {tones[2], right, -1}, {0.0, left, 1}, {0.0, right, 0}, {tones[2], left, 0},
        {tones[1], right, -1, 90 * df}, {tones[0], right, -1, fs, 90},
    };
    for (const Row& row : rows) {
        // From the refined marker, as a user would step, or from a plain frequency.
        const std::optional<SpectrumMarker> start = spectrumPeak(e.spectrum(), row.from - 3 * df, row.from + 3 * df, calibration);
        const double from = row.from == 0.0 ? 0.0 : start->frequencyHz;
        const std::optional<SpectrumMarker> found =
            nextPeak(e.spectrum(), from, row.direction, -fs, row.highHz, calibration, row.excursionDb);
        ASSERT_EQ(found.has_value(), row.expected >= 0) << "from " << row.from;
        if (found) {
            EXPECT_NEAR(found->frequencyHz, tones[row.expected], 0.1 * df) << "from " << row.from;
        }
    }
    // A bump within two bins of a higher bin is a ripple on its lobe, however deep the dip between.
    // Centred: 1e-6 at -4 and -3 Hz, 1 at -2, 1e-4 at -1, the bump 0.1 at 0 Hz, 1e-6 above.
    const std::vector<double> ripple = {0.1, 1e-6, 1e-6, 1e-6, 1e-6, 1e-6, 1.0, 1e-4};
    const MeasuredSpectrum rippled{ripple, 8.0, 8, 1.0};
    EXPECT_FALSE(nextPeak(rippled, -2.0, right, -4, 4, calibration));
    EXPECT_NEAR(nextPeak(rippled, -4.0, right, -4, 4, calibration)->frequencyHz, -2.0, 0.5);
}

// Nothing to measure gives absent values, never a number: letters name the values
// present (C channel power, N noise density, S SNR, O occupied bandwidth and edges,
// P peak frequency, M mean frequency, K the marker's power).
TEST(SpectrumMeasurements, DegenerateInputsGiveAbsentValues)
{
    std::vector<double> flat(8, 1.0), zero(8, 0.0), nan = flat, inf = flat, negative = flat;
    nan[5] = NAN;
    inf[2] = INFINITY;
    negative[0] = -1e-30;
    struct Row { const char* name; std::vector<double> power; double fs, low, high; PowerCalibration cal; const char* present; };
    const Row rows[] = {
        {"flat", flat, 8, -4, 4, calibration, "CNOPMK"}, {"one bin", flat, 8, 2, 2, calibration, "CNOPMK"},
        {"between bins: the two around it", flat, 8, 2.2, 2.8, calibration, "CNOPMK"}, {"reversed band", flat, 8, 2, -2, calibration, ""},
        {"band beyond fs/2", flat, 8, 5, 9, calibration, ""}, {"NaN band edge", flat, 8, NAN, 3, calibration, ""},
        {"infinite band", flat, 8, -INFINITY, INFINITY, calibration, "CNOPMK"}, {"all zero", zero, 8, -4, 4, calibration, ""},
        {"NaN bin", nan, 8, -4, 4, calibration, ""}, {"infinite bin", inf, 8, -4, 4, calibration, ""},
        {"negative bin", negative, 8, -4, 4, calibration, ""}, {"no sample rate", flat, 0, -4, 4, calibration, ""},
        {"NaN sample rate", flat, NAN, -4, 4, calibration, ""}, {"one value", {1.0}, 8, -4, 4, calibration, ""},
        {"zero impedance", flat, 8, -4, 4, {1, 1, 0}, "NOPM"}, {"zero full scale", flat, 8, -4, 4, {0, 1, 50}, "NOPM"},
    };
    for (const Row& row : rows) {
        const MeasuredSpectrum spectrum{row.power, row.fs, uint32_t(row.power.size()), 3.0};
        const BandMeasurements m = measureBand(spectrum, row.low, row.high, row.cal);
        const std::optional<SpectrumMarker> peak = spectrumPeak(spectrum, row.low, row.high, row.cal);
        std::string present;
        for (auto [letter, has] : {std::pair{'C', m.channelPowerDbm.has_value()}, {'N', m.noiseDensityDbHz.has_value()},
                                   {'S', m.snrDb.has_value()}, {'O', m.occupiedBandwidthHz && m.occupiedLowHz && m.occupiedHighHz},
                                   {'P', m.peakFrequencyHz && peak}, {'M', m.meanFrequencyHz.has_value()},
                                   {'K', peak && peak->powerDbm}})
            present += has ? std::string(1, letter) : "";
        EXPECT_EQ(present, row.present) << row.name;
    }
    // Without the segment count the noise is unknown, without the segment length the main lobe.
    EXPECT_FALSE(measureBand({flat, 8, 8, 0.0}, -4, 4, calibration).noiseDensityDbHz);
    EXPECT_FALSE(spectrumPeak({flat, 8, 0, 3.0}, -4, 4, calibration)->powerDbm);
    // One bin: p % of its width, centred on it.
    const BandMeasurements one = measureBand({flat, 8, 8, 3.0}, 2, 2, calibration, 90);
    EXPECT_DOUBLE_EQ(*one.occupiedLowHz, 1.55);
    EXPECT_DOUBLE_EQ(*one.occupiedHighHz, 2.45);
    EXPECT_EQ(one.binCount, 1u);
}

TEST(MeasurementReport, JsonAndTextLines)
{
    // A flat spectrum of 8 bins at 8 Hz, 1 per bin: mean power 1, 0.5^2 / 32768^2 / 2 / 50 W.
    const std::vector<double> flat(8, 1.0);
    const BandMeasurements m = measureBand({flat, 8, 8, 1.0}, -4, 4, calibration);
    const nlohmann::json j = nlohmann::json::parse(measurementsJson(m));
    const double dbm = 10 * std::log10(0.25 / (32768.0 * 32768) / 100 / 1e-3);
    EXPECT_NEAR(j.at("channelPowerDbm").get<double>(), dbm, 1e-9);
    EXPECT_TRUE(j.at("snrDb").is_null()); // nothing above the noise
    EXPECT_DOUBLE_EQ(j.at("occupiedBandwidthHz").get<double>(), 7.92);
    EXPECT_EQ(j.at("binCount").get<int>(), 8);
    for (const char* key : {"bandLowHz", "bandHighHz", "noiseDensityDbHz", "occupiedLowHz", "occupiedHighHz",
                            "peakFrequencyHz", "meanFrequencyHz", "binWidthHz", "occupiedPercent"})
        EXPECT_TRUE(j.at(key).is_number()) << key;
    const std::string text = measurementsText(m);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Channel power: %.2f dBm\n", dbm);
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_NE(text.find("SNR: - dB\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Occupied bandwidth (99.00 %): 7.92 Hz\n"), std::string::npos) << text;
}
