// Centring, dB conversion and band cut of the spectrum curve.

#include "dsp/SpectrumMeasurements.h"
#include "plotdata/SpectrumCurve.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(SpectrumCurve, BandToBins)
{
    struct Row
    {
        uint32_t fs, N;
        double start, stop;
        uint32_t firstBin, count;
    } rows[] = {
        {1000000, 256, -100000, 100000, 102, 53},  // bins at or beyond each edge
        {1000000, 256, -500000, 500000, 0, 256},   // the full band after a load
        {1000001, 256, -500000, 500000, 0, 256},   // odd rate above N - 1
        {48000, 1024, -24000, 24000, 0, 1024},
        {1000000, 256, 0, 0, 128, 1},              // equal edges on a bin (DC): one point
        {1000000, 256, 1000, 1000, 128, 2},        // equal edges between bins: two points
        {1000, 11, 0, 0, 5, 1},
        {250000, 16, 50000, 75000, 11, 3},         // 46.875 ... 78.125 kHz: the band's edges inside
        {250000, 16, -31250, 62500, 6, 7},         // edges on bin centres: exactly those bins
        {1000000, 256, -900000, -600000, 0, 0},    // wholly below -fs/2: nothing
        {1000000, 256, 600000, 900000, 0, 0},      // wholly above: nothing
        {1000000, 256, -900000, 900000, 0, 256},   // wider than the band: cut to it
        {1000000, 256, 100000, -100000, 0, 0},     // inverted: nothing
        {1000000, 256, std::nan(""), 0, 0, 0},
        {0, 256, -1, 1, 0, 0},                     // no sample rate
    };
    for (const Row& r : rows) {
        const SpectrumBand band = spectrumBand(r.fs, r.N, r.start, r.stop);
        EXPECT_EQ(band.count, r.count) << r.fs << " " << r.start << " " << r.stop;
        if (r.count > 0) {
            EXPECT_EQ(band.firstBin, r.firstBin) << r.fs << " " << r.start << " " << r.stop;
            EXPECT_LE(band.firstBin + band.count, r.N);
        }
    }
}

TEST(SpectrumCurve, CentredBandPoints)
{
    // Bin m of the FFT order holds m + 1, so the centred order is readable.
    std::vector<double> p(256);
    for (size_t m = 0; m < 256; ++m)
        p[m] = static_cast<double>(m + 1);
    const SpectrumCurve c = spectrumCurve(p, 1000000, -100000, 100000);
    ASSERT_EQ(c.frequency.size(), 53u);
    ASSERT_EQ(c.power.size(), 53u);
    EXPECT_EQ(c.frequency.front(), -101562.5);
    EXPECT_EQ(c.frequency.back(), 101562.5);
    // Densities per hertz: centred index 102 is FFT bin 102 - 128 + 256 = 230.
    EXPECT_EQ(c.power.front(), 10 * std::log10(231.0 / 1e6 + 2.220446049250313e-16));
    // Centred index 128 is DC.
    EXPECT_EQ(c.power[128 - 102], 10 * std::log10(1.0 / 1e6 + 2.220446049250313e-16));

    const SpectrumCurve full = spectrumCurve(p, 1000000, -500000, 500000);
    ASSERT_EQ(full.frequency.size(), 256u);
    EXPECT_EQ(full.frequency.front(), -500000);
    EXPECT_EQ(full.frequency.back(), 500000 - 1000000.0 / 256);
    for (size_t l = 1; l < 256; ++l)
        EXPECT_DOUBLE_EQ(full.frequency[l] - full.frequency[l - 1], 1000000.0 / 256);
}

TEST(SpectrumCurve, ZerosAndNaN)
{
    const SpectrumCurve zeros = spectrumCurve(std::vector<double>(64, 0.0), 1000, -500, 500);
    ASSERT_EQ(zeros.power.size(), 64u);
    for (double v : zeros.power)
        EXPECT_EQ(v, -156.53559774527022);
    const SpectrumCurve nan = spectrumCurve(std::vector<double>(2, std::nan("")), 1000, -500, 500);
    ASSERT_EQ(nan.power.size(), 2u);
    EXPECT_TRUE(std::isnan(nan.power[0]) && std::isnan(nan.power[1]));
    EXPECT_TRUE(spectrumCurve({}, 1000, -500, 500).power.empty());
    EXPECT_TRUE(spectrumCurve({1.0}, 1000, -500, 500).power.empty());
}

// The measurements take the bins the views show, whatever the edges: as many, and
// the same ones (a bin is measured exactly when the curve draws it).
TEST(SpectrumCurve, MeasurementsTakeTheBinsTheViewsShow)
{
    struct Row
    {
        uint32_t fs, N;
        double start, stop;
    } rows[] = {
        {1000000, 256, -100000, 100000}, {1000000, 256, -99000, 101000}, {250000, 16, -31250, 62500},
        {250000, 16, 50000, 75000},      {1000000, 256, 1000, 1000},     {1000000, 256, -900000, 900000},
        {48000, 1024, -24000, 23999},    {1000000, 256, 600000, 900000}, {1000, 11, -120, 333},
    };
    const PowerCalibration calibration{1.0, 1.0, 1.0};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.start) + " " + std::to_string(row.stop));
        const SpectrumBand shown = spectrumBand(row.fs, row.N, row.start, row.stop);
        const double width = double(row.fs) / row.N;
        std::vector<double> power(row.N, 1.0);
        const MeasuredSpectrum flat{power, double(row.fs), row.N, 1.0};
        EXPECT_EQ(measureBand(flat, row.start, row.stop, calibration).binCount, shown.count);
        // A bin standing out at each end of the shown band is the band's peak; one
        // just beyond either end is not.
        for (int at : {int(shown.firstBin) - 1, int(shown.firstBin), int(shown.firstBin + shown.count) - 1,
                       int(shown.firstBin + shown.count)}) {
            if (shown.count == 0 || at < 0 || at >= int(row.N))
                continue;
            std::vector<double> spiked(row.N, 1.0);
            spiked[(uint32_t(at) + row.N - row.N / 2) % row.N] = 1e6; // centred bin at, in FFT order
            const MeasuredSpectrum spectrum{spiked, double(row.fs), row.N, 1.0};
            const double binHz = (at - int(row.N / 2)) * width;
            const bool inside = at >= int(shown.firstBin) && at < int(shown.firstBin + shown.count);
            const std::optional<SpectrumMarker> peak = spectrumPeak(spectrum, row.start, row.stop, calibration);
            ASSERT_TRUE(peak);
            EXPECT_EQ(std::abs(peak->frequencyHz - binHz) < 0.5 * width, inside) << "bin " << at;
        }
    }
}
