// The Welch stream as a range computation.

#include "plotdata/SpectrumPass.h"

#include "dsp/WelchStatistics.h"
#include "io/SampleSource.h"
#include "plotdata/SummarySet.h"

#include <algorithm>

namespace {

// Sizes computed: powers of two from 2 up to 2^24 points (others, including what
// an overflowing 2^exponent turns into, give an empty curve).
constexpr uint32_t largestFftSize = 1u << 24;

bool usableFftSize(uint32_t n)
{
    return n >= 2 && n <= largestFftSize && (n & (n - 1)) == 0;
}

} // namespace

uint32_t sharedSamples(uint32_t n, double overlap)
{
    const double shared = static_cast<double>(n) * overlap;
    return !(shared > 0) ? 0 : shared >= n ? n : static_cast<uint32_t>(shared);
}

SpectrumPass::SpectrumPass(const StreamRange& range, double sampleRate,
                           const SpectrumSettings& settings, std::shared_ptr<SummarySet> summaries)
    : rate(sampleRate), settings(settings), summaries(std::move(summaries))
{
    if (range.size() == 0 || !usableFftSize(settings.fftSize))
        return;
    const uint32_t n = settings.fftSize;
    shared = sharedSamples(n, settings.overlap);
    segments = welchSegments(range.first, range.size(), n, shared);
    stream = std::make_unique<WelchStream>(segments.first, segments.size, n, n, shared);
    // How the segments are cut, whether the sums come from a pass or from summaries.
    const WelchAccumulator& sums = stream->sums();
    segmentLength = sums.segmentLength();
    effectiveSegments = ::effectiveSegments(sums.segmentCount(), sums.segmentLength(), sums.hop());
}

SpectrumPass::~SpectrumPass() = default;

BlockConsumer& SpectrumPass::consumer()
{
    if (builder)
        return *builder;
    return stream ? static_cast<BlockConsumer&>(*stream) : idle;
}

bool SpectrumPass::computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control)
{
    if (!stream || !summaries || !segments.onGrid)
        return false;
    const uint32_t n = settings.fftSize;
    if (auto kept = summaries->welch(n, shared, offset); kept && kept->serves(segments, n, shared, offset)) {
        if (std::optional<std::vector<double>> put = kept->spectrum(segments, source, control)) {
            power = std::move(*put);
            return true;
        }
    }
    // A pass over the whole recording keeps its sums block by block on the way.
    const uint64_t hop = std::max<uint32_t>(1, n - std::min(n, shared));
    if (segments.firstSegment == 0 && segments.first + segments.size + hop > source.size()) {
        building = summaries->buildWelch(n, shared, offset);
        if (building)
            builder = building->builder();
    }
    return false;
}

bool SpectrumPass::sketchFromSummaries(const DcOffset& offset)
{
    if (!stream || !summaries || !segments.onGrid)
        return false;
    const auto kept = summaries->welch(settings.fftSize, shared, offset);
    std::optional<std::vector<double>> sketch = kept ? kept->sketch(segments) : std::nullopt;
    if (sketch)
        power = std::move(*sketch);
    return sketch.has_value();
}

bool SpectrumPass::finishPass()
{
    if (builder) {
        power = static_cast<WelchSummary::Builder&>(*builder).result();
        builder.reset();
        summaries->finished(building);
        building.reset();
    } else if (stream) {
        power = stream->result();
    }
    return true;
}

WelchResult SpectrumPass::result() const
{
    if (!stream)
        return {};
    return {power, rate, segmentLength, effectiveSegments};
}

SpectrumCurve SpectrumPass::curve() const
{
    if (!stream)
        return {};
    return spectrumCurve(power, rate, settings.startFrequency, settings.stopFrequency);
}
