// Hann window and the Welch estimate, sequential or with the segments' transforms
// shared out over threads.

#include "dsp/Spectrum.h"

#include "dsp/FftWork.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// Squared magnitudes of one block of segments: a thread's buffer, sized to stay
// within its core's cache.
constexpr size_t blockBytes = size_t(256) << 10;
// Fewer segments than this per thread are not worth a thread; larger transforms
// than this keep to one thread (few segments, and a block would be too large).
constexpr uint64_t minSegmentsPerThread = 64;
constexpr uint32_t largestThreadedSize = 1u << 16;

// Fills the first `filled` inputs of a transform with segment values times the window.
using SegmentLoader = void (*)(const void* source, uint64_t start, uint32_t filled,
                               const double* w, double* inRe, double* inIm);

void loadSplit(const void* source, uint64_t start, uint32_t filled, const double* w, double* inRe,
               double* inIm)
{
    const auto* iq = static_cast<const double* const*>(source);
    const double* i = iq[0] + start;
    const double* q = iq[1] + start;
    for (uint32_t n = 0; n < filled; ++n) {
        inRe[n] = i[n] * w[n];
        inIm[n] = q[n] * w[n];
    }
}

void loadComplex(const void* source, uint64_t start, uint32_t filled, const double* w,
                 double* inRe, double* inIm)
{
    const std::complex<double>* segment = static_cast<const std::complex<double>*>(source) + start;
    for (uint32_t n = 0; n < filled; ++n) {
        inRe[n] = segment[n].real() * w[n];
        inIm[n] = segment[n].imag() * w[n];
    }
}

std::vector<double> welch(const void* source, SegmentLoader load, size_t size, uint32_t N,
                          uint32_t L, uint32_t V, unsigned threads)
{
    if (L > N)
        throw std::invalid_argument("Segment length exceeds the FFT size");
    if (N == 0)
        return {};
    uint32_t hop = L - V; // V > L wraps to a hop beyond any input: one segment
    if (hop == 0)
        hop = 1;
    uint64_t count;
    if (size >= L) {
        count = (uint64_t(size) - L) / hop + 1;
    } else {
        // Too few samples for one segment: what there is forms the one segment,
        // with a window of its own length, zero-filled to N.
        L = uint32_t(size);
        count = 1;
    }
    const std::vector<double> w = hannWindow(L);
    double power = 0.0;
    for (uint32_t n = 0; n < L; ++n)
        power = power + w[n] * w[n];

    // N is a power of two in every call the application makes; otherwise the
    // transform covers the first 2^floor(log2 N) values and the bins above it
    // stay 0 (adding 0 * 0 + 0 * 0 to them per segment leaves them 0).
    const uint32_t exponent = uint32_t(std::log2(double(N)));
    std::vector<double> p(N, 0.0);

    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    uint64_t team = std::clamp<uint64_t>(count / minSegmentsPerThread, 1, threads);
    if ((uint64_t(1) << exponent) > largestThreadedSize)
        team = 1;

    // Per thread: its transform state, inputs zero-filled beyond the segment.
    std::vector<FftWork> works;
    works.reserve(team);
    for (uint64_t t = 0; t < team; ++t) {
        works.emplace_back(exponent);
        std::fill_n(works.back().inputRe(), works.back().size(), 0.0);
        std::fill_n(works.back().inputIm(), works.back().size(), 0.0);
    }
    const uint32_t used = works[0].size();
    const uint32_t filled = std::min(L, used);

    if (team == 1) {
        FftWork& work = works[0];
        const double* re = work.re();
        const double* im = work.im();
        for (uint64_t k = 0; k < count; ++k) {
            load(source, k * hop, filled, w.data(), work.inputRe(), work.inputIm());
            work.transformInput();
            for (uint32_t m = 0; m < used; ++m)
                p[m] = p[m] + (re[m] * re[m] + im[m] * im[m]);
        }
    } else {
        // Threads claim blocks of segments in order, transform a block into a
        // buffer of their own, wait until every earlier block has been added in,
        // add theirs segment after segment and pass on. The sums are thus made
        // in segment order, as one pass makes them, and each thread adds the
        // values still in its own cache while the others transform.
        const uint64_t block = std::max<uint64_t>(1, blockBytes / (sizeof(double) * uint64_t(used)));
        const uint64_t blocks = (count + block - 1) / block;
        std::vector<std::vector<double>> buffers(team, std::vector<double>(block * used));
        std::atomic<uint64_t> nextBlock{0};
        std::atomic<uint64_t> added{0};
        auto run = [&](uint64_t t) {
            FftWork& work = works[t];
            double* magnitudes = buffers[t].data();
            const double* re = work.re();
            const double* im = work.im();
            for (uint64_t b = nextBlock.fetch_add(1); b < blocks; b = nextBlock.fetch_add(1)) {
                const uint64_t first = b * block;
                const uint64_t segments = std::min(block, count - first);
                for (uint64_t s = 0; s < segments; ++s) {
                    load(source, (first + s) * hop, filled, w.data(), work.inputRe(), work.inputIm());
                    work.transformInput();
                    double* out = magnitudes + s * used;
                    for (uint32_t m = 0; m < used; ++m)
                        out[m] = re[m] * re[m] + im[m] * im[m];
                }
                for (uint64_t done = added.load(std::memory_order_acquire); done != b;
                     done = added.load(std::memory_order_acquire))
                    added.wait(done, std::memory_order_acquire);
                for (uint64_t s = 0; s < segments; ++s) {
                    const double* in = magnitudes + s * used;
                    for (uint32_t m = 0; m < used; ++m)
                        p[m] = p[m] + in[m];
                }
                added.store(b + 1, std::memory_order_release);
                added.notify_all();
            }
        };
        std::vector<std::thread> helpers;
        for (uint64_t t = 1; t < team; ++t) {
            try {
                helpers.emplace_back(run, t);
            } catch (const std::system_error&) {
                break; // fewer threads share the blocks
            }
        }
        run(0);
        for (std::thread& helper : helpers)
            helper.join();
    }

    const double scale = double(count) * power;
    for (uint32_t m = 0; m < N; ++m)
        p[m] = p[m] / scale;
    return p;
}

} // namespace

std::vector<double> hannWindow(size_t L)
{
    std::vector<double> w(L);
    for (size_t n = 0; n < L; ++n) {
        const double angle = (6.283185307179586 * double(n)) / double(L - 1);
        w[n] = (1.0 - std::cos(angle)) * 0.5;
    }
    return w;
}

std::vector<double> welchSpectrum(const std::vector<std::complex<double>>& x, uint32_t N, uint32_t L,
                                  uint32_t V, unsigned threads)
{
    return welch(x.data(), loadComplex, x.size(), N, L, V, threads);
}

std::vector<double> welchSpectrum(const double* i, const double* q, size_t size, uint32_t N,
                                  uint32_t L, uint32_t V, unsigned threads)
{
    const double* const iq[2] = {i, q};
    return welch(iq, loadSplit, size, N, L, V, threads);
}
