// The views' passes over ranges of a recording whose summaries a pass over the
// whole recording built: put together from them, the same curves and columns
// as passes that read every sample; and the summaries' cache file found again
// for the same recording and settings, and only for them.

#include "io/FileSamples.h"
#include "plotdata/AmplitudeStream.h"
#include "plotdata/PowerCurveStream.h"
#include "plotdata/SpectrogramPass.h"
#include "plotdata/SpectrumPass.h"
#include "plotdata/SummarySet.h"
#include "tests/plotdata/SummaryTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

constexpr double rate = 1e6;
constexpr uint64_t count = 1500000;

// Noise whose level steps, with bursts, NaN and infinities, as cf32 samples.
std::vector<float> recordingSamples()
{
    std::mt19937_64 rng(21);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> iq(2 * count);
    for (uint64_t k = 0; k < count; ++k) {
        const float gain = k > count / 2 ? 3.0f : (k % 100000 < 500 ? 30.0f : 1.0f);
        iq[2 * k] = gain * noise(rng) + 0.1f;
        iq[2 * k + 1] = gain * noise(rng);
    }
    iq[2 * 700001] = std::nanf("");
    iq[2 * 900000 + 1] = INFINITY;
    return iq;
}

std::shared_ptr<const SampleSource> fileSource(const std::string& path)
{
    return FileSamples::open(InputFile(path), 0, std::filesystem::file_size(path), "cf32_le");
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

struct Passes
{
    std::unique_ptr<CurvePass> power;
    std::unique_ptr<CurvePass> amplitude;
    std::unique_ptr<SpectrogramPass> spectrogram;
    std::unique_ptr<SpectrumPass> spectrum;
};

Passes passesOver(const StreamRange& range, int width, std::shared_ptr<SummarySet> summaries)
{
    PowerCurveSettings power;
    power.window = 100;
    power.fullScaleVoltage = 2.0;
    SpectrumSettings spectrum;
    spectrum.fftSize = 256;
    spectrum.overlap = 0.5;
    spectrum.startFrequency = -rate / 2;
    spectrum.stopFrequency = rate / 2;
    return {powerCurvePass(count, range, rate, power, width, summaries), amplitudePass(range, rate, width, summaries),
            std::make_unique<SpectrogramPass>(range, rate, 8, 0.8, size_t(2 * width), summaries),
            std::make_unique<SpectrumPass>(range, uint32_t(rate), spectrum, summaries)};
}

void run(Passes& passes, const SampleSource& source, const StreamRange& range, const DcOffset& offset)
{
    WorkControl control;
    runComputations(source, range, offset,
                    {passes.power.get(), passes.amplitude.get(), passes.spectrogram.get(), passes.spectrum.get()},
                    control);
}

} // namespace

TEST(SummaryPasses, RangesFromSummariesAreThoseOfPasses)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.cf32");
    {
        const std::vector<float> iq = recordingSamples();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(iq.data(), sizeof(float), iq.size(), file);
        std::fclose(file);
    }
    const auto source = fileSource(path);
    const DcOffset offset{0.1, 0.0, true};
    const SummaryFolder cache(folder.file("cache"), uint64_t(1) << 30);
    // Budgets that keep runs of 256 samples and groups of 32 columns on disk,
    // in memory only the spectrogram's coarsest levels (as coarse as 512).
    SummaryBudget budget;
    budget.curveMemory = 0;
    budget.spectrogramMemory = 200 << 10;
    budget.powerShare = budget.amplitudeShare = 0.1;
    budget.spectrogramShare = 0.2;
    budget.welchShare = 0.1;
    budget.welchMemory = 0;
    auto summaries = std::make_shared<SummarySet>(source, rate, cache, budget);
    {
        Passes whole = passesOver({0, count}, 500, summaries);
        run(whole, *source, {0, count}, offset);
    }
    struct Row
    {
        uint64_t first, end;
        int width;
        bool curves, spectrogram, spectrum; // put together from summaries
    };
    const Row rows[] = {
        {0, count, 500, true, true, true},
        {0, count, 1000, true, false, true},       // columns pooled by 16: finer than kept
        {123457, 1234567, 300, true, true, true},  // ends within runs, groups and blocks
        {700000, 1000000, 125, true, true, true},  // NaN and infinity inside
        {count - 400000, count, 200, true, true, true},
        {500000, 520000, 300, false, false, false}, // too few samples per column, segments
        {999, 700000, 1, true, true, true},
        {300000, 600000, 2000, false, false, true},
    };
    for (const Row& r : rows) {
        const StreamRange range{r.first, r.end};
        Passes fresh = passesOver(range, r.width, nullptr);
        run(fresh, *source, range, offset);
        Passes kept = passesOver(range, r.width, summaries);
        WorkControl control;
        EXPECT_EQ(kept.power->computeFromSummaries(*source, offset, control), r.curves) << r.first;
        EXPECT_EQ(kept.amplitude->computeFromSummaries(*source, offset, control), r.curves) << r.first;
        EXPECT_EQ(kept.spectrogram->computeFromSummaries(*source, offset, control), r.spectrogram) << r.first;
        EXPECT_EQ(kept.spectrum->computeFromSummaries(*source, offset, control), r.spectrum) << r.first;
        if (r.spectrum) {
            // The sums grouped otherwise: equal but for their rounding.
            const SpectrumCurve want = fresh.spectrum->curve();
            const SpectrumCurve got = kept.spectrum->curve();
            ASSERT_EQ(got.power.size(), 256u);
            ASSERT_TRUE(sameBits(got.frequency, want.frequency));
            double worst = 0;
            for (size_t m = 0; m < 256; ++m)
                worst = std::max(worst, std::fabs(std::pow(10.0, (got.power[m] - want.power[m]) / 10) - 1));
            EXPECT_LE(worst, 1e-12) << r.first;
        }
        // Another offset: nothing kept for it.
        Passes other = passesOver(range, r.width, summaries);
        EXPECT_FALSE(other.power->computeFromSummaries(*source, DcOffset{}, control));
        EXPECT_FALSE(other.amplitude->computeFromSummaries(*source, DcOffset{}, control));
        EXPECT_FALSE(other.spectrogram->computeFromSummaries(*source, DcOffset{}, control));
        EXPECT_FALSE(other.spectrum->computeFromSummaries(*source, DcOffset{}, control));
        if (!r.curves)
            continue;
        for (size_t c = 0; c < 3; ++c) {
            const ReducedCurve& want = c == 0 ? fresh.power->curves()[0] : fresh.amplitude->curves()[c - 1];
            const ReducedCurve& got = c == 0 ? kept.power->curves()[0] : kept.amplitude->curves()[c - 1];
            EXPECT_TRUE(sameBits(got.x, want.x)) << r.first << " curve " << c;
            EXPECT_TRUE(sameBits(got.y, want.y)) << r.first << " curve " << c;
            EXPECT_TRUE(sameBits({got.ranges.xMin, got.ranges.xMax, got.ranges.yMin, got.ranges.yMax},
                                 {want.ranges.xMin, want.ranges.xMax, want.ranges.yMin, want.ranges.yMax}));
            EXPECT_EQ(got.ranges.finite, want.ranges.finite);
            EXPECT_EQ(got.width, want.width);
            EXPECT_EQ(got.sourcePoints, want.sourcePoints);
        }
        if (!r.spectrogram)
            continue;
        const PooledSpectrogram& want = fresh.spectrogram->result();
        const PooledSpectrogram& got = kept.spectrogram->result();
        ASSERT_EQ(got.columns.size(), want.columns.size());
        EXPECT_EQ(std::memcmp(got.columns.column(0), want.columns.column(0),
                              want.columns.size() * want.columns.rows() * sizeof(double)),
                  0)
            << r.first;
    }

    // The same recording opened again finds every summary in the cache;
    // modified, it finds none.
    const uint64_t cached = cache.totalBytes();
    EXPECT_GT(cached, 0u);
    EXPECT_LE(cached, uint64_t(0.5 * count * 8) + (64 << 10)); // the shares, and the files' headers
    auto again = std::make_shared<SummarySet>(fileSource(path), rate, cache, budget);
    PowerCurveSettings power;
    power.window = 100;
    power.fullScaleVoltage = 2.0;
    EXPECT_EQ(again->buildPower(power, offset), nullptr);
    EXPECT_NE(again->power(power, offset), nullptr);
    EXPECT_EQ(again->buildAmplitude(offset), nullptr);
    EXPECT_EQ(again->buildSpectrogram(8, 0.8, offset), nullptr);
    EXPECT_NE(again->spectrogram(8, 0.8, offset), nullptr);
    EXPECT_NE(again->buildPower(power, DcOffset{}), nullptr); // other settings
    // A byte in every 4 KiB of the cache files' records changed (past their
    // headers): a range reading them is computed from samples instead, the
    // files are removed and built again.
    for (const auto& entry : std::filesystem::directory_iterator(cache.path())) {
        std::fstream file(entry.path(), std::ios::in | std::ios::out | std::ios::binary);
        for (uint64_t at = 8192 + 100; at < entry.file_size(); at += 4096) {
            file.seekg(static_cast<std::streamoff>(at));
            const char c = static_cast<char>(file.get() ^ 1);
            file.seekp(static_cast<std::streamoff>(at));
            file.put(c);
        }
    }
    auto damaged = std::make_shared<SummarySet>(fileSource(path), rate, cache, budget);
    EXPECT_EQ(damaged->buildPower(power, offset), nullptr); // its header is whole
    {
        const StreamRange range{123457, 1234567};
        Passes kept = passesOver(range, 300, damaged);
        Passes fresh = passesOver(range, 300, nullptr);
        run(kept, *source, range, offset);
        run(fresh, *source, range, offset);
        EXPECT_TRUE(sameBits(kept.power->curves()[0].y, fresh.power->curves()[0].y));
        EXPECT_EQ(std::memcmp(kept.spectrogram->result().columns.column(0), fresh.spectrogram->result().columns.column(0),
                              fresh.spectrogram->result().columns.size() * 256 * sizeof(double)),
                  0);
    }
    EXPECT_EQ(damaged->power(power, offset), nullptr);
    EXPECT_NE(damaged->buildPower(power, offset), nullptr);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    auto modified = std::make_shared<SummarySet>(fileSource(path), rate, cache, budget);
    EXPECT_NE(modified->buildPower(power, offset), nullptr);
    EXPECT_NE(modified->buildSpectrogram(8, 0.8, offset), nullptr);
}
