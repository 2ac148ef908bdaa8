// Welch sums kept per block of grid segments and a range's estimate put together again.

#include "plotdata/WelchSummary.h"

#include "dsp/WelchStream.h"
#include "io/SampleSource.h"
#include "plotdata/SummaryLevels.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace {

// The finest block kept: fewer segments are as quickly transformed again.
constexpr uint64_t smallestBlock = 64;

uint32_t hopOf(uint32_t n, uint32_t shared)
{
    return std::max<uint32_t>(1, n - std::min(n, shared));
}

uint64_t alignUp(uint64_t value, uint64_t to)
{
    return (value + to - 1) / to * to;
}

} // namespace

WelchSegments welchSegments(uint64_t first, uint64_t size, uint32_t N, uint32_t shared)
{
    const uint32_t hop = hopOf(N, shared);
    const uint64_t own = size >= N ? (size - N) / hop + 1 : 0;
    if (own < welchGridSegments)
        return {first, size, false, 0, 0};
    WelchSegments grid;
    grid.onGrid = true;
    grid.firstSegment = (first + hop - 1) / hop;
    grid.endSegment = (first + size - N) / hop + 1;
    grid.first = grid.firstSegment * hop;
    grid.size = (grid.endSegment - grid.firstSegment - 1) * hop + N;
    return grid;
}

WelchSummary::WelchSummary(uint64_t samples, uint32_t N, uint32_t shared, const DcOffset& offset,
                           uint64_t budgetBytes)
    : samples(samples), n(N), shared(shared), hop(hopOf(N, shared)), dc(offset),
      gridSegments(samples >= N ? (samples - N) / hop + 1 : 0)
{
    if (N >= 2 && (N & (N - 1)) == 0)
        levels = summaryLevels(gridSegments, uint64_t(8) * N, budgetBytes, smallestBlock);
}

std::vector<SectionLayout> WelchSummary::layout() const
{
    std::vector<SectionLayout> sections;
    for (uint64_t block : levels)
        sections.push_back({uint32_t(8) * n, levelRecords(gridSegments, block)});
    return sections;
}

std::string WelchSummary::key() const
{
    char text[200];
    std::snprintf(text, sizeof(text), "welch samples=%llu n=%u shared=%u dc=%d i=%016llx q=%016llx finest=%llu",
                  static_cast<unsigned long long>(samples), n, shared, dc.remove ? 1 : 0,
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(dc.i)),
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(dc.q)),
                  static_cast<unsigned long long>(levels.empty() ? 0 : levels.front()));
    return text;
}

bool WelchSummary::serves(const WelchSegments& segments, uint32_t N, uint32_t sharedCount,
                          const DcOffset& offset) const
{
    if (levels.empty() || !records || !records->ready() || !segments.onGrid || N != n || sharedCount != shared
        || offset.remove != dc.remove || std::bit_cast<uint64_t>(offset.i) != std::bit_cast<uint64_t>(dc.i)
        || std::bit_cast<uint64_t>(offset.q) != std::bit_cast<uint64_t>(dc.q) || segments.endSegment > gridSegments)
        return false;
    return alignUp(segments.firstSegment, levels.front()) < segments.endSegment / levels.front() * levels.front();
}

std::optional<std::vector<double>> WelchSummary::spectrum(const WelchSegments& segments, const SampleSource& source,
                                                          WorkControl& control) const
{
    const uint64_t finest = levels.front();
    const uint64_t lo = alignUp(segments.firstSegment, finest);
    const uint64_t hi = segments.endSegment / finest * finest;
    std::vector<double> sum(n, 0.0);
    // Segments [s0, s1) transformed again, their sums added.
    auto addFresh = [&](uint64_t s0, uint64_t s1) {
        if (s1 <= s0)
            return;
        const uint64_t first = s0 * hop;
        const uint64_t size = (s1 - s0 - 1) * hop + n;
        WelchStream stream(first, size, n, n, shared);
        control.addPlanned(size);
        streamRange(source, first, first + size, dc, {&stream}, control);
        const std::vector<double> mean = stream.result();
        const double count = static_cast<double>(s1 - s0);
        for (uint32_t m = 0; m < n; ++m)
            sum[m] += mean[m] * count;
    };
    addFresh(segments.firstSegment, lo);
    if (!addKeptBlocks(lo, hi, sum))
        return std::nullopt;
    addFresh(hi, segments.endSegment);
    const double count = static_cast<double>(segments.endSegment - segments.firstSegment);
    for (double& v : sum)
        v = v / count;
    return sum;
}

bool WelchSummary::addKeptBlocks(uint64_t lo, uint64_t hi, std::vector<double>& sum) const
{
    std::vector<double> record(n);
    for (uint64_t p = lo; p < hi;) {
        size_t level = levels.size() - 1;
        while (level > 0 && (p % levels[level] != 0 || p + levels[level] > hi))
            --level;
        if (!records->read(level, p / levels[level], 1, record.data()))
            return false;
        for (uint32_t m = 0; m < n; ++m)
            sum[m] += record[m];
        p += levels[level];
    }
    return true;
}

std::optional<std::vector<double>> WelchSummary::sketch(const WelchSegments& segments) const
{
    if (levels.empty() || !records || !records->ready() || !segments.onGrid)
        return std::nullopt;
    const uint64_t finest = levels.front();
    const uint64_t lo = alignUp(segments.firstSegment, finest);
    const uint64_t hi = std::min(segments.endSegment, gridSegments) / finest * finest;
    if (lo >= hi)
        return std::nullopt;
    std::vector<double> sum(n, 0.0);
    if (!addKeptBlocks(lo, hi, sum))
        return std::nullopt;
    for (double& v : sum)
        v = v / static_cast<double>(hi - lo);
    return sum;
}

std::unique_ptr<WelchSummary::Builder> WelchSummary::builder()
{
    if (levels.empty() || !records)
        return nullptr;
    return std::make_unique<Builder>(*this);
}

WelchSummary::Builder::Builder(WelchSummary& summary)
    : summary(summary), gatherer(0, summary.n, summary.hop, summary.gridSegments), total(summary.n, 0.0),
      partial(summary.levels.size())
{
}

void WelchSummary::Builder::consume(uint64_t index, size_t count, const double* i, const double* q,
                                    WorkControl& control)
{
    const uint64_t finest = summary.levels.front();
    gatherer.consume(index, count, i, q, [&](uint64_t c0, uint64_t c1, const double* iAt, const double* qAt) {
        for (uint64_t c = c0; c < c1;) {
            const uint64_t blockEnd = std::min({c1, (c / finest + 1) * finest, summary.gridSegments});
            const uint64_t inBlock = std::min(finest, summary.gridSegments - c / finest * finest);
            if (!block)
                block = std::make_unique<WelchAccumulator>((inBlock - 1) * summary.hop + summary.n, summary.n,
                                                           summary.n, summary.shared);
            const double* const iq[2] = {iAt + (c - c0) * summary.hop, qAt + (c - c0) * summary.hop};
            block->add(iq, loadSplitSegment, blockEnd - c, &control);
            if (block->segmentsAdded() == inBlock)
                blockDone(inBlock);
            c = blockEnd;
        }
    });
}

void WelchSummary::Builder::blockDone(uint64_t segments)
{
    // The block's sums (divided by the window's power): its mean times its segments.
    std::vector<double> sums = block->result();
    block.reset();
    for (double& v : sums)
        v = v * static_cast<double>(segments);
    for (uint32_t m = 0; m < summary.n; ++m)
        total[m] += sums[m];
    summary.records->append(0, sums.data(), 1);
    const uint64_t finestBlocks = levelRecords(summary.gridSegments, summary.levels.front());
    for (size_t level = 1; level < summary.levels.size(); ++level) {
        const uint64_t ratio = summary.levels[level] / summary.levels.front();
        if (blocksDone % ratio == 0) {
            partial[level] = sums;
        } else {
            for (uint32_t m = 0; m < summary.n; ++m)
                partial[level][m] += sums[m];
        }
        if ((blocksDone + 1) % ratio == 0 || blocksDone + 1 == finestBlocks)
            summary.records->append(level, partial[level].data(), 1);
    }
    ++blocksDone;
}

std::vector<double> WelchSummary::Builder::result() const
{
    std::vector<double> mean = total;
    for (double& v : mean)
        v = v / static_cast<double>(summary.gridSegments);
    return mean;
}
