// Band extraction: the decimation chosen, the filter's ripple and attenuation
// over the band and beyond the output's Nyquist frequency, and the same bits
// whatever blocks the input arrives in.

#include "dsp/BandExtractor.h"
#include "dsp/KaiserLowPass.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(BandExtractor, DecimationRippleAndStopband)
{
    const struct
    {
        double rate, low, high;
        bool wholeRate;
        uint32_t decimation;
    } rows[] = {
        {1e6, -50e3, 50e3, false, 8},
        {1e6, 100e3, 300e3, false, 4},
        {2.4e6, -1.2e6, -0.7e6, false, 3},
        {1e6, -500e3, -100e3, false, 2},
        {1e6, 0, 450e3, false, 1},          // D = 1: the rest is still filtered off
        {48000, -24000, 24000, false, 1},   // the whole band: nothing to filter
        {1e6, 2000, 10000, false, 100},
        {1e6, -60e3, 60e3, false, 6},
        {1e6, -60e3, 60e3, true, 5},        // 6 does not divide the rate
        {1000003, -60e3, 60e3, true, 1},    // nothing does
        {1e6, 0, 1, false, BandExtractor::maxDecimation},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.low) + " " + std::to_string(row.high));
        const BandExtractor band(row.rate, row.low, row.high, row.wholeRate);
        ASSERT_EQ(band.decimation(), row.decimation);
        const double width = row.high - row.low;
        if (row.decimation > 1) {
            EXPECT_GE(band.outputRate(), BandExtractor::rateMargin * width);
        }
        EXPECT_LE(std::abs(band.mixFrequency() - (row.low + row.high) / 2), row.rate / (1 << 20));
        const std::vector<double>& taps = band.taps();
        if (width == row.rate) {
            ASSERT_EQ(taps.size(), 1u); // the whole band: nothing to filter off
        }
        if (width == row.rate || taps.size() > 20000)
            continue; // too long to sweep here
        // Worst gain over the band after mixing, in cycles per sample.
        const double pass = (width / 2 + std::abs(band.mixFrequency() - (row.low + row.high) / 2)) / row.rate;
        double lowest = 1e9, highest = 0;
        constexpr int passPoints = 1000;
        for (int k = 0; k <= passPoints; ++k) {
            const double gain = symmetricFirMagnitude(taps, pass * k / passPoints);
            lowest = std::min(lowest, gain);
            highest = std::max(highest, gain);
        }
        EXPECT_LE(20 * std::log10(highest / lowest), BandExtractor::maxRippleDb);
        const double stop = row.decimation > 1 ? 0.5 / row.decimation : 0.625 * width / row.rate;
        double leak = 0;
        constexpr int stopPoints = 4000;
        for (int k = 0; k <= stopPoints; ++k)
            leak = std::max(leak, symmetricFirMagnitude(taps, stop + (0.5 - stop) * k / stopPoints));
        EXPECT_LE(20 * std::log10(leak), -BandExtractor::minAttenuationDb);
    }
}

// The whole range at once with the vector unit (where there is one) against
// random blocks on both paths.
TEST(BandExtractor, SameBitsWhateverTheBlocks)
{
    const struct
    {
        double low, high;
        uint64_t firstIndex;
        size_t count;
        size_t maxBlock;
    } rows[] = {
        {-40e3, 70e3, 0, 30000, 997},
        {150e3, 190e3, 123456789, 20001, 13},    // far into the recording: the mixer's phase
        {-500e3, 500e3, 7, 5000, 3},             // one tap
        {-300e3, -299e3, 1000000000, 1200, 50},  // shorter than the filter
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.low);
        const std::vector<double> i = randomValues(row.count, 5);
        const std::vector<double> q = randomValues(row.count, 6);
        BandExtractor whole(1e6, row.low, row.high);
        std::vector<std::complex<double>> expected;
        whole.process(row.firstIndex, row.count, i.data(), q.data(), expected);
        whole.flush(expected);
        ASSERT_EQ(expected.size(), whole.outputCount(row.count));

        // In random blocks, on the portable path and with the vector unit.
        for (bool simd : {false, true}) {
            BandExtractor blocks(1e6, row.low, row.high, false, simd);
            std::vector<std::complex<double>> got;
            std::mt19937 rng(3);
            std::uniform_int_distribution<size_t> size(1, row.maxBlock);
            for (size_t k = 0; k < row.count;) {
                const size_t n = std::min(size(rng), row.count - k);
                blocks.process(row.firstIndex + k, n, i.data() + k, q.data() + k, got);
                k += n;
            }
            blocks.flush(got);
            ASSERT_EQ(got.size(), expected.size());
            for (size_t k = 0; k < got.size(); ++k) {
                ASSERT_TRUE(sameBits(got[k].real(), expected[k].real()) && sameBits(got[k].imag(), expected[k].imag()))
                    << "output " << k << ", simd " << simd;
            }
        }
        // A gap in the range is refused rather than filtered as if there were none.
        BandExtractor gap(1e6, row.low, row.high);
        gap.process(row.firstIndex, 1, i.data(), q.data(), expected);
        EXPECT_THROW(gap.process(row.firstIndex + 2, 1, i.data(), q.data(), expected), std::invalid_argument);
    }
}
