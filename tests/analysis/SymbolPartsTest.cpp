// The parts of the symbol recovery on their own: bits and line codes, the
// slicer's levels, thresholds and hysteresis, the clock's least-squares fit,
// the burst's extent, and the settings refused.

#include "analysis/BurstExtent.h"
#include "analysis/SymbolBits.h"
#include "analysis/SymbolRecovery.h"
#include "analysis/SymbolSlicer.h"
#include "analysis/SymbolTiming.h"
#include "dsp/WorkControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TEST(SymbolBits, SymbolsLineCodesAndPacking)
{
    struct Case
    {
        std::vector<int> symbols;
        int levels;
        const char* bits;
    };
    const Case cases[] = {{{0, 1, 1, 0}, 2, "0110"},
                          {{0, 1, 2, 3}, 4, "00011011"},
                          {{7, 0, 5}, 8, "111000101"},
                          {{}, 4, ""}};
    for (const Case& c : cases)
        EXPECT_EQ(symbolBits(c.symbols, c.levels), c.bits) << c.levels;

    struct Code
    {
        const char* bits;
        LineCode code;
        const char* decoded;
    };
    const Code codes[] = {
        {"0110", LineCode::Nrz, "0110"},
        {"00110101", LineCode::Nrzi, "0101111"},
        {"01100110", LineCode::Manchester, "1010"},
        // One bit lost at the start: the pairs start at the second bit.
        {"1100110", LineCode::Manchester, "010"},
        {"01001001", LineCode::Manchester, "1?01"},
        {"", LineCode::Nrzi, ""},
    };
    for (const Code& c : codes)
        EXPECT_EQ(decodeLine(c.bits, c.code), c.decoded) << c.bits << " " << lineCodeName(c.code);

    EXPECT_EQ(bitsHex("10100101111"), "A5E");
    EXPECT_EQ(bitsHex("1?11"), "B");
    EXPECT_EQ(packBits("1010010111"), (std::vector<uint8_t>{0xA5, 0xC0}));
}

TEST(SymbolSlicer, LevelsThresholdsAndHysteresis)
{
    // Clusters at -3, -1, 1, 3 (spread 0.2): k-means finds them from quantiles.
    std::mt19937 random(4);
    std::normal_distribution<double> gauss(0.0, 0.2);
    std::vector<double> values;
    for (int k = 0; k < 4000; ++k)
        values.push_back(2.0 * (k % 4) - 3 + gauss(random));
    values.push_back(std::nan(""));
    const std::vector<double> levels = fitLevels(values, 4);
    ASSERT_EQ(levels.size(), 4u);
    for (int j = 0; j < 4; ++j)
        EXPECT_NEAR(levels[static_cast<std::size_t>(j)], 2.0 * j - 3, 0.02);
    // Too few distinct values: spread evenly, still ascending.
    EXPECT_EQ(fitLevels({1, 1, 1}, 2), (std::vector<double>{1, 2}));
    EXPECT_EQ(fitLevels({}, 2).size(), 2u);

    // An OOK envelope: "off" is Rayleigh noise (sigma 0.15), "on" near 1
    // (spread 0.15); the likelihood threshold lies below the midpoint of the
    // clusters' means, towards the off cluster's light tail.
    std::vector<double> envelope;
    for (int k = 0; k < 4000; ++k) {
        const double i = gauss(random) * 0.75, q = gauss(random) * 0.75;
        envelope.push_back(k % 2 ? std::hypot(1 + i, q) : std::hypot(i, q));
    }
    const std::vector<double> two = fitLevels(envelope, 2);
    const double threshold = fittedThresholds(envelope, two)[0];
    EXPECT_LT(threshold, (two[0] + two[1]) / 2);
    EXPECT_GT(threshold, two[0] + 0.1);

    // Hysteresis: within a tenth of the spacing past the threshold, the
    // previous symbol stays.
    const std::vector<double> l{0, 1};
    const std::vector<double> t{0.5};
    EXPECT_EQ(sliceLevels({0, 0.55, 0.65, 0.45, 0.35, std::nan("")}, l, t, 0.1),
              (std::vector<int>{0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(sliceLevels({0, 0.55, 0.45}, l, t, 0), (std::vector<int>{0, 1, 0}));
}

TEST(SymbolTiming, FitFollowsADriftingClockAndLeavesOutliers)
{
    // Offsets of a clock 300 ppm slow with a drift, 64-symbol blocks, a
    // little noise, and two blocks a third of a period off.
    const double P = 10;
    std::mt19937 random(2);
    std::normal_distribution<double> gauss(0.0, 0.01 * P);
    auto truth = [&](double k) { return 1.7 + 300e-6 * P * k + 2e-9 * P * k * k; };
    std::vector<TimingBlock> blocks;
    for (int b = 0; b < 40; ++b) {
        const double k = 64.0 * b + 31.5;
        blocks.push_back({k, truth(k) + gauss(random) + (b == 7 || b == 30 ? P / 3 : 0.0), 64});
    }
    const SymbolClock clock = fitClock(100, P, blocks);
    EXPECT_EQ(clock.blocksRejected, 2u);
    for (double k : {0.0, 1000.0, 2559.0})
        EXPECT_NEAR(clock.centre(k), 100 + k * P + truth(k), 0.01 * P) << k;
    EXPECT_NEAR(clock.period(1000), P + 300e-6 * P + 2 * 2e-9 * P * 1000, 1e-4 * P);
    // One block: an offset alone; none: the nominal grid.
    EXPECT_NEAR(fitClock(0, P, {blocks[3]}).centre(5), 5 * P + blocks[3].offset, 1e-12);
    EXPECT_EQ(fitClock(3, P, {}).centre(2), 3 + 2 * P);
}

TEST(BurstExtent, EdgesOfABurstInNoise)
{
    struct Case
    {
        std::size_t lead, length, tail;
        double noise; // power, the burst's being 1
    };
    const Case cases[] = {{500, 2000, 700, 0.01}, {0, 3000, 400, 0.05}, {300, 1000, 0, 0.1}, {40, 200, 40, 0.01}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        std::normal_distribution<double> gauss(0.0, std::sqrt(c.noise / 2));
        std::vector<std::complex<double>> y;
        for (std::size_t k = 0; k < c.lead + c.length + c.tail; ++k) {
            const bool on = k >= c.lead && k < c.lead + c.length;
            y.emplace_back((on ? std::cos(0.3 * k) : 0.0) + gauss(random), (on ? std::sin(0.3 * k) : 0.0) + gauss(random));
        }
        const BurstSpan span = burstExtent(y, 16);
        ASSERT_TRUE(span.found()) << c.lead;
        EXPECT_NEAR(span.first, static_cast<double>(c.lead), 4) << c.lead;
        EXPECT_NEAR(span.end, static_cast<double>(c.lead + c.length), 4) << c.lead;
    }
    // No noise around it: the whole of the samples.
    std::vector<std::complex<double>> steady(1000, {0.5, 0.5});
    const BurstSpan whole = burstExtent(steady, 8);
    EXPECT_EQ(whole.first, 0);
    EXPECT_EQ(whole.end, 1000);
    EXPECT_FALSE(burstExtent({}, 8).found());
}

TEST(SymbolRecovery, RefusesSettingsItCannotUse)
{
    BandSamples band;
    band.rate = 1000;
    band.y.assign(5000, {1, 0});
    struct Case
    {
        double rate;
        Modulation modulation;
        int levels;
        std::vector<double> slicer;
    };
    const Case cases[] = {{0, Modulation::Bpsk, 2, {}},      {-5, Modulation::Bpsk, 2, {}},
                          {NAN, Modulation::Bpsk, 2, {}},    {600, Modulation::Bpsk, 2, {}},
                          {100, Modulation::Noise, 0, {}},   {100, Modulation::Ask, 3, {}},
                          {100, Modulation::Ook, 2, {0.5}}};
    for (const Case& c : cases) {
        SymbolSettings s;
        s.symbolRateHz = c.rate;
        s.modulation = c.modulation;
        s.levels = c.levels;
        s.slicerLevels = c.slicer;
        WorkControl control;
        EXPECT_THROW(recoverSymbols(band, s, control), std::invalid_argument) << c.rate << " " << c.levels;
    }
    // Silence, and noise alone: no burst, or no steady clock. (The FSK
    // tones' energy finds a clock in noise too often to be told: the
    // estimate's "noise" is what refuses it.)
    SymbolSettings s;
    s.symbolRateHz = 100;
    s.modulation = Modulation::Bpsk;
    WorkControl control;
    band.y.assign(5000, {0, 0});
    EXPECT_THROW(recoverSymbols(band, s, control), std::runtime_error);
    std::mt19937 random(3);
    std::normal_distribution<double> gauss;
    for (Modulation m : {Modulation::Bpsk, Modulation::Qpsk, Modulation::Ook}) {
        for (auto& y : band.y)
            y = {gauss(random), gauss(random)};
        s.modulation = m;
        s.levels = modulationLevels(m);
        EXPECT_THROW(recoverSymbols(band, s, control), std::runtime_error) << modulationName(m);
    }
}

} // namespace
