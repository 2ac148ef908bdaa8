// Pooled spectrogram columns kept for a whole recording and put together again.

#include "plotdata/SpectrogramSummary.h"

#include "dsp/Fft.h"
#include "io/SampleSource.h"
#include "plotdata/SummaryLevels.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <limits>

namespace {

// The finest group kept: pairs at least (single columns are what a pass over a
// short range computes anyway).
constexpr uint64_t smallestPooling = 2;
// Records read from the store at once while a range is put together.
constexpr uint64_t batchBytes = uint64_t(8) << 20;
// A sketch of fewer columns than this is not worth showing.
constexpr uint64_t fewestSketchColumns = 8;

uint64_t alignUp(uint64_t value, uint64_t to)
{
    return (value + to - 1) / to * to;
}

// Pools one column of floats into another per bin, NaN counting as the largest.
void poolFloats(float* out, const float* v, size_t n)
{
    for (size_t k = 0; k < n; ++k) {
        const float held = out[k];
        const bool keep = (held != held) | (v[k] <= held);
        out[k] = keep ? held : v[k];
    }
}

// A record: N magnitudes in single precision, then their largest finite one (-1: none).
float roundedLargest(double largest)
{
    return largest < 0 ? -1.0f : static_cast<float>(singlePrecisionMagnitude(largest));
}

// Columns being put together: per column N floats, the largest, whether begun.
struct Accumulator
{
    Accumulator(size_t columns, uint32_t n) : n(n), values(columns * n), largest(columns, -1.0f), begun(columns, 0) {}
    void pool(size_t x, const float* column, float top)
    {
        float* out = values.data() + x * n;
        if (!begun[x])
            std::copy_n(column, n, out);
        else
            poolFloats(out, column, n);
        begun[x] = 1;
        largest[x] = std::max(largest[x], top);
    }
    size_t n;
    std::vector<float> values;
    std::vector<float> largest;
    std::vector<char> begun;
};

class LevelBuilder : public PooledColumnSink
{
public:
    LevelBuilder(SummaryStore& store, std::vector<uint64_t> levels, uint32_t n, uint64_t columns)
        : store(store), levels(std::move(levels)), n(n), finestRecords(levelRecords(columns, this->levels[0])),
          record(n + 1), partial(this->levels.size(), std::vector<float>(n + 1))
    {
    }
    void take(uint64_t x, const double* magnitudes, double largest) override
    {
        for (uint32_t k = 0; k < n; ++k)
            record[k] = static_cast<float>(singlePrecisionMagnitude(magnitudes[k]));
        record[n] = roundedLargest(largest);
        store.append(0, record.data(), 1);
        for (size_t level = 1; level < levels.size(); ++level) {
            const uint64_t ratio = levels[level] / levels[0];
            std::vector<float>& held = partial[level];
            if (x % ratio == 0) {
                held = record;
            } else {
                poolFloats(held.data(), record.data(), n);
                held[n] = std::max(held[n], record[n]);
            }
            if ((x + 1) % ratio == 0 || x + 1 == finestRecords)
                store.append(level, held.data(), 1);
        }
    }

private:
    SummaryStore& store;
    std::vector<uint64_t> levels;
    uint32_t n;
    uint64_t finestRecords;
    std::vector<float> record;
    std::vector<std::vector<float>> partial;
};

// The sink of the fresh columns at a range's ends: pooled into the accumulator.
class EndColumns : public PooledColumnSink
{
public:
    EndColumns(Accumulator& into, uint64_t firstGroup, uint32_t n) : into(into), firstGroup(firstGroup), column(n) {}
    void take(uint64_t x, const double* magnitudes, double largest) override
    {
        for (size_t k = 0; k < column.size(); ++k)
            column[k] = static_cast<float>(singlePrecisionMagnitude(magnitudes[k]));
        into.pool(static_cast<size_t>(x - firstGroup), column.data(), roundedLargest(largest));
    }

private:
    Accumulator& into;
    uint64_t firstGroup;
    std::vector<float> column;
};

} // namespace

SpectrogramSummary::SpectrogramSummary(uint64_t samples, double sampleRate, uint32_t exponent, double overlap,
                                       const DcOffset& offset, uint64_t budgetBytes)
    : samples(samples), sampleRate(sampleRate), fftExponent(exponent), overlapFraction(overlap), hop(0),
      dc(offset), gridColumns(0)
{
    if (exponent < 1 || exponent > maxFftExponent)
        return;
    const uint32_t n = uint32_t(1) << exponent;
    hop = spectrogramHop(n, overlap);
    gridColumns = spectrogramColumnCount(samples, n, hop);
    levels = summaryLevels(gridColumns, uint64_t(4) * (n + 1), budgetBytes, smallestPooling);
}

std::vector<SectionLayout> SpectrogramSummary::layout() const
{
    std::vector<SectionLayout> sections;
    for (uint64_t pooling : levels)
        sections.push_back({uint32_t(4) * ((uint32_t(1) << fftExponent) + 1), levelRecords(gridColumns, pooling)});
    return sections;
}

std::string SpectrogramSummary::key() const
{
    char text[256];
    std::snprintf(text, sizeof(text),
                  "spectrogram samples=%llu exponent=%u overlap=%016llx dc=%d i=%016llx q=%016llx finest=%llu",
                  static_cast<unsigned long long>(samples), fftExponent,
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(overlapFraction)), dc.remove ? 1 : 0,
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(dc.i)),
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(dc.q)),
                  static_cast<unsigned long long>(levels.empty() ? 0 : levels.front()));
    return text;
}

std::unique_ptr<PooledColumnSink> SpectrogramSummary::builder()
{
    if (levels.empty() || !records)
        return nullptr;
    return std::make_unique<LevelBuilder>(*records, levels, uint32_t(1) << fftExponent, gridColumns);
}

bool SpectrogramSummary::serves(const ColumnGrouping& grouping, uint32_t exponent, double overlap,
                                const DcOffset& offset) const
{
    return !levels.empty() && records && records->ready() && exponent == fftExponent
           && std::bit_cast<uint64_t>(overlap) == std::bit_cast<uint64_t>(overlapFraction)
           && offset.remove == dc.remove && std::bit_cast<uint64_t>(offset.i) == std::bit_cast<uint64_t>(dc.i)
           && std::bit_cast<uint64_t>(offset.q) == std::bit_cast<uint64_t>(dc.q) && grouping.origin == 0
           && grouping.pooling >= levels.front() && grouping.end <= gridColumns && grouping.timeColumns() > 0;
}

std::optional<PooledSpectrogram> SpectrogramSummary::pooledColumns(const ColumnGrouping& grouping,
                                                                   const SampleSource& source,
                                                                   WorkControl& control) const
{
    const uint32_t n = uint32_t(1) << fftExponent;
    const uint64_t pooling = grouping.pooling;
    const uint64_t finest = levels.front();
    const uint64_t firstGroup = grouping.first / pooling;
    const size_t count = static_cast<size_t>(grouping.outputColumns());
    // Time columns [leftEnd, rightBegin) fill whole finest groups; those
    // before and after are computed.
    const uint64_t leftEnd = std::min(grouping.end, alignUp(grouping.first, finest));
    const uint64_t rightBegin = std::max(leftEnd, grouping.end / finest * finest);
    Accumulator columns(count, n);
    const size_t recordFloats = n + 1;

    // Kept records of level `level` [first, end) pooled `ratio` to a column from column x on.
    std::vector<float> buffer;
    auto poolRecords = [&](size_t level, uint64_t first, uint64_t end, uint64_t ratio, size_t x) {
        const uint64_t perBatch = std::max<uint64_t>(ratio, batchBytes / (4 * recordFloats) / ratio * ratio);
        for (uint64_t from = first; from < end; from += perBatch) {
            control.check();
            const uint64_t to = std::min(end, from + perBatch);
            buffer.resize(static_cast<size_t>((to - from) * recordFloats));
            if (!records->read(level, from, to - from, buffer.data()))
                return false;
            for (uint64_t r = from; r < to; ++r) {
                const float* record = buffer.data() + (r - from) * recordFloats;
                columns.pool(x + static_cast<size_t>((r - first) / ratio), record, record[n]);
            }
        }
        return true;
    };
    // The coarsest kept level whose groups tile [lo, hi).
    auto levelFor = [&](uint64_t lo, uint64_t hi) {
        size_t level = 0;
        while (level + 1 < levels.size() && levels[level + 1] <= pooling && lo % levels[level + 1] == 0
               && hi % levels[level + 1] == 0)
            ++level;
        return level;
    };
    // Output columns wholly inside the kept part, then the one or two at the ends.
    const uint64_t fullBegin = std::max<uint64_t>(firstGroup, (leftEnd + pooling - 1) / pooling);
    const uint64_t fullEnd = std::max(fullBegin, rightBegin / pooling);
    if (fullEnd > fullBegin) {
        const size_t level = levelFor(fullBegin * pooling, fullEnd * pooling);
        const uint64_t ratio = pooling / levels[level];
        if (!poolRecords(level, fullBegin * ratio, fullEnd * ratio, ratio, static_cast<size_t>(fullBegin - firstGroup)))
            return std::nullopt;
    }
    std::vector<uint64_t> endGroups;
    const uint64_t lastGroup = firstGroup + count - 1;
    if (firstGroup < fullBegin || firstGroup >= fullEnd)
        endGroups.push_back(firstGroup);
    if (lastGroup != firstGroup && (lastGroup < fullBegin || lastGroup >= fullEnd))
        endGroups.push_back(lastGroup);
    for (uint64_t group : endGroups) {
        // Its kept part in the largest kept groups that fit, one after the other.
        const uint64_t lo = std::max(leftEnd, group * pooling);
        const uint64_t hi = std::min(rightBegin, (group + 1) * pooling);
        for (uint64_t p = lo; p < hi;) {
            size_t level = levels.size() - 1;
            while (level > 0 && (levels[level] > pooling || p % levels[level] != 0 || p + levels[level] > hi))
                --level;
            const uint64_t block = levels[level];
            if (!poolRecords(level, p / block, p / block + 1, 1, static_cast<size_t>(group - firstGroup)))
                return std::nullopt;
            p += block;
        }
    }
    // The ends that fill no kept group, from samples.
    EndColumns ends(columns, firstGroup, n);
    for (const auto& [c0, c1] : {std::pair{grouping.first, leftEnd}, std::pair{rightBegin, grouping.end}}) {
        if (c1 <= c0)
            continue;
        SpectrogramStream stream(fftExponent, overlapFraction, sampleRate, c0, c1, pooling, &ends);
        const uint64_t first = c0 * hop;
        const uint64_t end = (c1 - 1) * hop + n;
        control.addPlanned(end - first);
        streamRange(source, first, end, dc, {&stream}, control);
    }

    PooledSpectrogram result;
    result.sourceColumns = grouping.timeColumns();
    result.maxValue = std::numeric_limits<double>::lowest();
    const SpectrogramDecibels level(n, sampleRate);
    float top = -1.0f;
    for (float largest : columns.largest)
        top = std::max(top, largest);
    if (top >= 0)
        result.maxValue = level(top);
    result.columns.resize(count, n);
    for (size_t x = 0; x < count; ++x) {
        if (!columns.begun[x])
            return std::nullopt;
        double* out = result.columns.column(x);
        const float* in = columns.values.data() + x * n;
        for (uint32_t k = 0; k < n; ++k)
            out[k] = level(in[k]);
    }
    return result;
}

std::optional<PooledSpectrogram> SpectrogramSummary::sketch(uint64_t first, uint64_t end, uint64_t pooling) const
{
    if (levels.empty() || !records || !records->ready())
        return std::nullopt;
    const uint32_t n = uint32_t(1) << fftExponent;
    const uint64_t g0 = (first + hop - 1) / hop;
    const uint64_t g1 = std::min(gridColumns, end >= n ? (end - n) / hop + 1 : 0);
    size_t level = 0;
    while (level + 1 < levels.size() && levels[level] < pooling)
        ++level;
    const uint64_t group = levels[level];
    if (g1 <= g0 || (g1 - 1) / group + 1 - g0 / group < fewestSketchColumns)
        return std::nullopt;
    const uint64_t x0 = g0 / group;
    const size_t count = static_cast<size_t>((g1 - 1) / group + 1 - x0);
    const size_t recordFloats = n + 1;
    std::vector<float> kept(count * recordFloats);
    if (!records->read(level, x0, count, kept.data()))
        return std::nullopt;
    PooledSpectrogram result;
    result.sourceColumns = g1 - g0;
    result.maxValue = std::numeric_limits<double>::lowest();
    const SpectrogramDecibels decibels(n, sampleRate);
    result.columns.resize(count, n);
    float top = -1.0f;
    for (size_t x = 0; x < count; ++x) {
        const float* record = kept.data() + x * recordFloats;
        double* out = result.columns.column(x);
        for (uint32_t k = 0; k < n; ++k)
            out[k] = decibels(record[k]);
        top = std::max(top, record[n]);
    }
    if (top >= 0)
        result.maxValue = decibels(top);
    return result;
}
