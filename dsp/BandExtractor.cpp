// Mixer with an exact integer phase, Kaiser low-pass and a decimator that
// computes only every D-th output, each over a window of the kept samples.

#include "dsp/BandExtractor.h"

#include "dsp/KaiserLowPass.h"
#include "dsp/Vec4.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace {

// Designed a little beyond the attenuation asked for: Kaiser's length formula is
// an estimate, and the output is rounded to single precision afterwards.
constexpr double designAttenuationDb = 66.0;
// Where the band is (almost) the whole spectrum there is nothing to filter off
// (cycles per sample left between the band's edge and half the rate).
constexpr double minTransition = 1e-3;
// With D = 1 there is no output Nyquist frequency to protect: the stopband
// starts where it would for the smallest rate allowed.
constexpr double ownStopEdge = BandExtractor::rateMargin / 2.0;
constexpr std::size_t maxTaps = std::size_t(1) << 24;

} // namespace

BandExtractor::BandExtractor(double sampleRate, double low, double high, bool wholeOutputRate,
                             bool simd)
    : rate(sampleRate), vectorUnit(simd && vec4Supported())
{
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0 && std::isfinite(low)
          && std::isfinite(high) && low < high && low >= -sampleRate / 2.0
          && high <= sampleRate / 2.0))
        throw std::invalid_argument("A band must lie within half the sample rate about 0 Hz");
    const double width = high - low;
    const double ratio = std::floor(sampleRate / (rateMargin * width));
    factor = static_cast<uint32_t>(std::clamp(ratio, 1.0, static_cast<double>(maxDecimation)));
    if (wholeOutputRate && std::floor(sampleRate) == sampleRate)
        while (factor > 1 && std::fmod(sampleRate, factor) != 0.0)
            --factor;

    const double phaseSteps = static_cast<double>(uint64_t(1) << phaseBits);
    const auto step = static_cast<int64_t>(std::llround((low + high) / 2.0 / sampleRate * phaseSteps));
    mix = static_cast<double>(step) / phaseSteps * sampleRate;
    phaseStep = static_cast<uint32_t>(step & ((int64_t(1) << phaseBits) - 1));

    // Edges in cycles per sample; the passband also covers the mixer's rounding.
    const double passEdge = (width / 2.0 + std::abs((low + high) / 2.0 - mix)) / sampleRate;
    const double stopEdge =
        factor > 1 ? 0.5 / factor : std::min(0.5, ownStopEdge * width / sampleRate);
    if (factor == 1 && stopEdge - passEdge < minTransition)
        filter = {1.0};
    else
        filter = kaiserLowPass(passEdge, stopEdge, designAttenuationDb, maxTaps);
    half = filter.size() / 2;

    const std::size_t coarseCount = std::size_t(1) << (phaseBits - fineBits);
    const std::size_t fineCount = std::size_t(1) << fineBits;
    coarse.resize(coarseCount);
    fine.resize(fineCount);
    for (std::size_t k = 0; k < coarseCount; ++k)
        coarse[k] = std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(k)
                                        / static_cast<double>(coarseCount));
    for (std::size_t k = 0; k < fineCount; ++k)
        fine[k] = std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(k) / phaseSteps);
}

void BandExtractor::startRange(uint64_t first, uint64_t count)
{
    started = false;
    declared = true;
    rangeFirst = first;
    rangeCount = count;
}

void BandExtractor::process(uint64_t index, std::size_t count, const double* i, const double* q,
                            std::vector<std::complex<double>>& out)
{
    if (started && index != nextIndex)
        throw std::invalid_argument("BandExtractor needs the range's samples without gaps");
    if (!started) {
        if (!declared) {
            rangeFirst = index;
            rangeCount = std::numeric_limits<uint64_t>::max();
        }
        // Samples beyond the filter's reach before the range are not needed.
        const uint64_t earliest = rangeFirst - std::min<uint64_t>(rangeFirst, half);
        if (index < earliest) {
            const auto skip = static_cast<std::size_t>(std::min<uint64_t>(count, earliest - index));
            index += skip;
            count -= skip;
            i += skip;
            q += skip;
            if (count == 0)
                return;
        }
        if (index > rangeFirst)
            throw std::invalid_argument("BandExtractor needs the range's samples without gaps");
        started = true;
        // Zeros stand for the samples before the first one given.
        const uint64_t given = rangeFirst - index;
        bufferStart = -static_cast<int64_t>(half);
        re.assign(half - given, 0.0);
        im.assign(half - given, 0.0);
    }
    const uint64_t phaseMask = (uint64_t(1) << phaseBits) - 1;
    const uint64_t fineMask = (uint64_t(1) << fineBits) - 1;
    const std::size_t at = re.size();
    re.resize(at + count);
    im.resize(at + count);
    for (std::size_t k = 0; k < count; ++k) {
        // The phase depends on the sample's own index only, never on the blocks.
        const uint64_t phase = (((index + k) & phaseMask) * phaseStep) & phaseMask;
        const std::complex<double> turn = coarse[phase >> fineBits] * fine[phase & fineMask];
        const double a = i[k];
        const double b = q[k];
        re[at + k] = a * turn.real() - b * turn.imag();
        im[at + k] = a * turn.imag() + b * turn.real();
    }
    nextIndex = index + count;
    // Samples received from the range's first on (those after its end included).
    const uint64_t received = nextIndex > rangeFirst ? nextIndex - rangeFirst : 0;
    inputs = std::min(received, rangeCount);
    computeReady(received, outputCount(inputs), out);
}

void BandExtractor::flush(std::vector<std::complex<double>>& out)
{
    if (!started)
        return;
    const uint64_t total = outputCount(inputs);
    if (nextOutput < total) {
        // Zeros up to the last sample that the last output's window reaches.
        const int64_t last = static_cast<int64_t>((total - 1) * factor + half);
        const int64_t have = bufferStart + static_cast<int64_t>(re.size());
        const auto zeros = static_cast<std::size_t>(std::max<int64_t>(0, last + 1 - have));
        re.resize(re.size() + zeros, 0.0);
        im.resize(im.size() + zeros, 0.0);
        computeReady(static_cast<uint64_t>(last + 1), total, out);
    }
    // Ready for another range.
    started = false;
    declared = false;
    inputs = 0;
    nextOutput = 0;
    re.clear();
    im.clear();
}

void BandExtractor::computeReady(uint64_t available, uint64_t limit,
                                 std::vector<std::complex<double>>& out)
{
    // Output m needs samples up to m * D + half.
    while (nextOutput < limit && nextOutput * factor + half < available) {
        const int64_t centre = static_cast<int64_t>(nextOutput * factor);
        const auto at = static_cast<std::size_t>(centre - bufferStart);
#if NORVALE_VEC4
        if (vectorUnit) {
            out.push_back(filterAtVec4(at));
            ++nextOutput;
            continue;
        }
#endif
        out.push_back(filterAt(at));
        ++nextOutput;
    }
    // Drop the samples no later output needs, once they fill half the buffer.
    const int64_t keepFrom = static_cast<int64_t>(nextOutput * factor) - static_cast<int64_t>(half);
    // (With D wider than the filter, the next output's window may start beyond
    // the samples received.)
    const auto unused = static_cast<std::size_t>(
        std::clamp<int64_t>(keepFrom - bufferStart, 0, static_cast<int64_t>(re.size())));
    if (unused > 0 && unused >= re.size() / 2) {
        re.erase(re.begin(), re.begin() + static_cast<std::ptrdiff_t>(unused));
        im.erase(im.begin(), im.begin() + static_cast<std::ptrdiff_t>(unused));
        bufferStart += static_cast<int64_t>(unused);
    }
}

std::complex<double> BandExtractor::filterAt(std::size_t centre) const
{
    // Symmetric taps: each pair of samples equally far from the centre is added
    // first. Four running sums in a fixed order, the same on every processor.
    const double* h = filter.data();
    const double* rl = re.data() + centre - half;
    const double* il = im.data() + centre - half;
    const double* rr = re.data() + centre + half;
    const double* ir = im.data() + centre + half;
    constexpr std::size_t lanes = 4;
    double sr[lanes] = {};
    double si[lanes] = {};
    std::size_t k = 0;
    for (; k + lanes <= half; k += lanes) {
        for (std::size_t l = 0; l < lanes; ++l) {
            const std::size_t j = k + l;
            sr[l] += h[j] * (rl[j] + *(rr - j));
            si[l] += h[j] * (il[j] + *(ir - j));
        }
    }
    for (; k < half; ++k) {
        sr[0] += h[k] * (rl[k] + *(rr - k));
        si[0] += h[k] * (il[k] + *(ir - k));
    }
    const double real = ((sr[0] + sr[1]) + (sr[2] + sr[3])) + h[half] * re[centre];
    const double imag = ((si[0] + si[1]) + (si[2] + si[3])) + h[half] * im[centre];
    return {real, imag};
}

#if NORVALE_VEC4
// filterAt with each of its four running sums in one lane: the same operations
// in the same order, so the same bits.
NORVALE_VEC4_TARGET std::complex<double> BandExtractor::filterAtVec4(std::size_t centre) const
{
    const double* h = filter.data();
    const double* rl = re.data() + centre - half;
    const double* il = im.data() + centre - half;
    const double* rr = re.data() + centre + half;
    const double* ir = im.data() + centre + half;
    constexpr std::size_t lanes = 4;
    Vec4 sr = Vec4::broadcast(0.0);
    Vec4 si = Vec4::broadcast(0.0);
    std::size_t k = 0;
    for (; k + lanes <= half; k += lanes) {
        const Vec4 taps = Vec4::load(h + k);
        sr = sr + taps * (Vec4::load(rl + k) + Vec4::loadReversed(rr - k - (lanes - 1)));
        si = si + taps * (Vec4::load(il + k) + Vec4::loadReversed(ir - k - (lanes - 1)));
    }
    double r[lanes];
    double i[lanes];
    sr.store(r);
    si.store(i);
    for (; k < half; ++k) {
        r[0] += h[k] * (rl[k] + *(rr - k));
        i[0] += h[k] * (il[k] + *(ir - k));
    }
    const double real = ((r[0] + r[1]) + (r[2] + r[3])) + h[half] * re[centre];
    const double imag = ((i[0] + i[1]) + (i[2] + i[3])) + h[half] * im[centre];
    return {real, imag};
}
#endif
