// Welch sums, one segment after another or with the segments' transforms
// shared out over the worker pool.

#include "dsp/WelchAccumulator.h"

#include "dsp/ParallelParts.h"
#include "dsp/Spectrum.h"
#include "dsp/Vec4.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <stdexcept>

namespace {

// Squared magnitudes of one block of segments: a thread's buffer, sized to stay
// within its core's cache.
constexpr size_t blockBytes = size_t(256) << 10;
// Fewer segments than this per thread are not worth a thread; larger transforms
// than this keep to one thread (few segments, and a block would be too large).
constexpr uint64_t minSegmentsPerThread = 64;
constexpr uint32_t largestThreadedSize = 1u << 16;
// Segments one thread transforms between looks at the cancel flag.
constexpr uint64_t segmentsBetweenChecks = 64;

#if NORVALE_VEC4

constexpr uint32_t rowsTogether = 4;

// addRows for four rows of `length` values.
NORVALE_VEC4_TARGET void addRows4(double* sums, const double* rows, size_t length)
{
    size_t m = 0;
    for (; m + 4 <= length; m += 4) {
        Vec4 acc = Vec4::load(sums + m);
        for (uint32_t s = 0; s < rowsTogether; ++s)
            acc = acc + Vec4::load(rows + s * length + m);
        acc.store(sums + m);
    }
    for (; m < length; ++m) {
        for (uint32_t s = 0; s < rowsTogether; ++s)
            sums[m] = sums[m] + rows[s * length + m];
    }
}

#endif

} // namespace

void loadSplitSegment(const void* source, uint64_t start, uint32_t filled, const double* w,
                      double* inRe, double* inIm)
{
    const auto* iq = static_cast<const double* const*>(source);
    const double* i = iq[0] + start;
    const double* q = iq[1] + start;
    for (uint32_t n = 0; n < filled; ++n) {
        inRe[n] = i[n] * w[n];
        inIm[n] = q[n] * w[n];
    }
}

void loadComplexSegment(const void* source, uint64_t start, uint32_t filled, const double* w,
                        double* inRe, double* inIm)
{
    const std::complex<double>* segment = static_cast<const std::complex<double>*>(source) + start;
    for (uint32_t n = 0; n < filled; ++n) {
        inRe[n] = segment[n].real() * w[n];
        inIm[n] = segment[n].imag() * w[n];
    }
}

void addRows(double* sums, const double* rows, uint64_t count, size_t length)
{
    uint64_t s = 0;
#if NORVALE_VEC4
    if (vec4Supported()) {
        for (; s + rowsTogether <= count; s += rowsTogether)
            addRows4(sums, rows + s * length, length);
    }
#endif
    for (; s < count; ++s) {
        const double* row = rows + s * length;
        for (size_t m = 0; m < length; ++m)
            sums[m] = sums[m] + row[m];
    }
}

WelchAccumulator::WelchAccumulator(uint64_t size, uint32_t N, uint32_t L, uint32_t V,
                                   unsigned threads)
    : fftSize(N), length(L), threads(threads)
{
    if (L > N)
        throw std::invalid_argument("Segment length exceeds the FFT size");
    step = L - V; // V > L wraps to a hop beyond any input: one segment
    if (step == 0)
        step = 1;
    if (size >= L) {
        count = (size - L) / step + 1;
    } else {
        // Too few samples for one segment: what there is forms the one segment,
        // with a window of its own length, zero-filled to N.
        length = static_cast<uint32_t>(size);
        count = 1;
    }
    if (N == 0)
        return;
    window = hannWindow(length);
    for (uint32_t n = 0; n < length; ++n)
        windowPower = windowPower + window[n] * window[n];
    // N is a power of two in every call the application makes; otherwise the
    // transform covers the first 2^floor(log2 N) values and the bins above it
    // stay 0 (adding 0 * 0 + 0 * 0 to them per segment leaves them 0).
    exponent = static_cast<uint32_t>(std::log2(static_cast<double>(N)));
    sums.assign(N, 0.0);
    if (this->threads == 0)
        this->threads = static_cast<unsigned>(availableThreads());
}

void WelchAccumulator::add(const void* source, SegmentLoader load, uint64_t segments,
                           WorkControl* control)
{
    if (fftSize == 0 || segments == 0)
        return;
    uint64_t team = std::clamp<uint64_t>(segments / minSegmentsPerThread, 1, threads);
    if ((uint64_t(1) << exponent) > largestThreadedSize)
        team = 1;
    // Per thread: its transform state, inputs zero-filled beyond the segment
    // (FftBatch starts them at 0 and the loads write only the first `filled`);
    // kept from batch to batch.
    while (works.size() < team)
        works.emplace_back(exponent);
    const uint32_t used = works[0].size();
    const uint32_t filled = std::min(length, used);
    const uint32_t lanes = works[0].lanes();
    const double* w = window.data();
    double* p = sums.data();
    // Split I and Q filling the whole transform are read in place, the window
    // applied as the batch gathers them (the same products as the loader's).
    const bool inPlace = load == loadSplitSegment && filled == used;
    // The squared magnitudes of segments first ... first + count - 1,
    // transformed side by side, to rows (`used` values each) one after another.
    auto powersOf = [&](FftBatch& batch, uint64_t first, uint32_t count, double* rows) {
        double* out[FftBatch::maxLanes];
        for (uint32_t l = 0; l < count; ++l)
            out[l] = rows + l * size_t(used);
        if (inPlace) {
            const auto* iq = static_cast<const double* const*>(source);
            const double* i[FftBatch::maxLanes];
            const double* q[FftBatch::maxLanes];
            for (uint32_t l = 0; l < count; ++l) {
                i[l] = iq[0] + (first + l) * step;
                q[l] = iq[1] + (first + l) * step;
            }
            batch.powersWindowed(count, i, q, w, out);
            return;
        }
        for (uint32_t l = 0; l < count; ++l)
            load(source, (first + l) * step, filled, w, batch.inputRe(l), batch.inputIm(l));
        batch.powersInput(count, out);
    };

    if (team == 1) {
        FftBatch& batch = works[0];
        std::vector<double> rows(size_t(lanes) * used);
        uint64_t sinceCheck = segmentsBetweenChecks;
        for (uint64_t k = 0; k < segments; k += lanes) {
            if (control && sinceCheck >= segmentsBetweenChecks) {
                control->check();
                sinceCheck = 0;
            }
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(lanes, segments - k));
            sinceCheck += count;
            powersOf(batch, k, count, rows.data());
            addRows(p, rows.data(), count, used);
        }
        added += segments;
        return;
    }
    // Threads claim blocks of segments in order, transform a block into a
    // buffer of their own, wait until every earlier block has been added in,
    // add theirs segment after segment and pass on. The sums are thus made
    // in segment order, as one pass makes them, and each thread adds the
    // values still in its own cache while the others transform. A cancelled
    // thread still passes on, so that none waits for it.
    const uint64_t block = std::max<uint64_t>(1, blockBytes / (sizeof(double) * uint64_t(used)));
    const uint64_t blocks = (segments + block - 1) / block;
    std::vector<std::vector<double>> buffers(team, std::vector<double>(block * used));
    std::atomic<uint64_t> nextBlock{0};
    std::atomic<uint64_t> addedBlocks{0};
    std::atomic<bool> stopped{false};
    auto run = [&](uint64_t t) {
        FftBatch& batch = works[t];
        double* powers = buffers[t].data();
        for (uint64_t b = nextBlock.fetch_add(1); b < blocks; b = nextBlock.fetch_add(1)) {
            const uint64_t firstSegment = b * block;
            const uint64_t inBlock = std::min(block, segments - firstSegment);
            const bool skip = stopped.load() || (control && control->isCancelled());
            if (skip) {
                stopped.store(true);
            } else {
                for (uint64_t s = 0; s < inBlock; s += lanes) {
                    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(lanes, inBlock - s));
                    powersOf(batch, firstSegment + s, count, powers + s * used);
                }
            }
            for (uint64_t done = addedBlocks.load(std::memory_order_acquire); done != b;
                 done = addedBlocks.load(std::memory_order_acquire))
                addedBlocks.wait(done, std::memory_order_acquire);
            if (!skip)
                addRows(p, powers, inBlock, used);
            addedBlocks.store(b + 1, std::memory_order_release);
            addedBlocks.notify_all();
        }
    };
    // Parts no worker takes run after the caller's own, and find every block claimed.
    runParts(static_cast<size_t>(team), [&](size_t t) { run(t); });
    if (control)
        control->check();
    added += segments;
}

std::vector<double> WelchAccumulator::result() const
{
    std::vector<double> p = sums;
    const double scale = static_cast<double>(count) * windowPower;
    for (uint32_t m = 0; m < fftSize; ++m)
        p[m] = p[m] / scale;
    return p;
}
