#pragma once
// The running sums of the Welch estimate: Hann-weighted segments transformed
// and their squared magnitudes added bin by bin, in segment order, whether the
// segments arrive all at once or in batches.

#include "dsp/FftBatch.h"
#include "dsp/WorkControl.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Fills the first `filled` transform inputs with the segment starting at sample
// `start` of `source`, times the window.
using SegmentLoader = void (*)(const void* source, uint64_t start, uint32_t filled,
                               const double* w, double* inRe, double* inIm);
// Loaders for split I and Q arrays (source: const double* const[2]) and for
// interleaved complex values (source: const std::complex<double>*).
void loadSplitSegment(const void* source, uint64_t start, uint32_t filled, const double* w,
                      double* inRe, double* inIm);
void loadComplexSegment(const void* source, uint64_t start, uint32_t filled, const double* w,
                        double* inRe, double* inIm);

// sums[m] = sums[m] + rows[s * length + m] for m < length and rows s = 0 ...
// count - 1: each bin gets its rows in row order, as one loop per row adds
// them, with the same bits (four rows per pass over the bins where it can).
void addRows(double* sums, const double* rows, uint64_t count, size_t length);

class WelchAccumulator
{
public:
    // Segments of L samples over `size` samples, consecutive ones sharing V
    // (hop L - V, at least 1), zero-filled to N. Fewer than L samples form one
    // segment with a window of their own length. Throws std::invalid_argument
    // when L > N. `threads` 0: availableThreads() when the sums are made.
    WelchAccumulator(uint64_t size, uint32_t N, uint32_t L, uint32_t V, unsigned threads = 0);

    uint64_t segmentCount() const { return count; }
    uint32_t hop() const { return step; }
    // Samples one segment reads.
    uint32_t segmentLength() const { return length; }
    uint64_t segmentsAdded() const { return added; }

    // Adds the next `segments` segments; segment s of them starts at sample
    // s * hop() of `source`. control, when given, is checked between blocks.
    void add(const void* source, SegmentLoader load, uint64_t segments, WorkControl* control);
    // N linear powers in FFT bin order: the sums over the segments divided by
    // (segment count x window power). Empty for N = 0.
    std::vector<double> result() const;

private:
    uint32_t fftSize;
    uint32_t length;
    uint32_t step;
    uint64_t count;
    unsigned threads;
    std::vector<double> window;
    double windowPower = 0.0;
    uint32_t exponent = 0;
    std::vector<double> sums;
    std::vector<FftBatch> works;
    uint64_t added = 0;
};
