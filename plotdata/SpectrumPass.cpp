// The Welch stream as a range computation.

#include "plotdata/SpectrumPass.h"

#include "dsp/WelchStatistics.h"

namespace {

// Sizes computed: powers of two from 2 up to 2^24 points (others, including what
// an overflowing 2^exponent turns into, give an empty curve).
constexpr uint32_t largestFftSize = 1u << 24;

bool usableFftSize(uint32_t n)
{
    return n >= 2 && n <= largestFftSize && (n & (n - 1)) == 0;
}

} // namespace

SpectrumPass::SpectrumPass(const StreamRange& range, uint32_t sampleRate,
                           const SpectrumSettings& settings)
    : rate(sampleRate), settings(settings)
{
    if (range.size() == 0 || !usableFftSize(settings.fftSize))
        return;
    // Overlap count in samples, kept within 0 ... N whatever the fraction.
    const uint32_t n = settings.fftSize;
    const double shared = static_cast<double>(n) * settings.overlap;
    const uint32_t v = !(shared > 0) ? 0 : shared >= n ? n : static_cast<uint32_t>(shared);
    stream = std::make_unique<WelchStream>(range.first, range.size(), n, n, v);
}

BlockConsumer& SpectrumPass::consumer()
{
    return stream ? static_cast<BlockConsumer&>(*stream) : idle;
}

bool SpectrumPass::finishPass()
{
    if (stream) {
        power = stream->result();
        const WelchAccumulator& sums = stream->sums();
        segmentLength = sums.segmentLength();
        effectiveSegments = ::effectiveSegments(sums.segmentCount(), sums.segmentLength(), sums.hop());
    }
    return true;
}

WelchResult SpectrumPass::result() const
{
    if (!stream)
        return {};
    return {power, static_cast<double>(rate), segmentLength, effectiveSegments};
}

SpectrumCurve SpectrumPass::curve() const
{
    if (!stream)
        return {};
    return spectrumCurve(power, rate, settings.startFrequency, settings.stopFrequency);
}
