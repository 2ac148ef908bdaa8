// Welch estimate fed block by block.

#include "dsp/WelchStream.h"

#include <algorithm>

WelchStream::WelchStream(uint64_t first, uint64_t size, uint32_t N, uint32_t L, uint32_t V)
    : accumulator(size, N, L, V),
      segments(first, accumulator.segmentLength(), accumulator.hop(), accumulator.segmentCount())
{
}

void WelchStream::consume(uint64_t index, size_t count, const double* i, const double* q,
                          WorkControl& control)
{
    segments.consume(index, count, i, q,
                     [&](uint64_t c0, uint64_t c1, const double* iAt, const double* qAt) {
                         const double* const iq[2] = {iAt, qAt};
                         accumulator.add(iq, loadSplitSegment, c1 - c0, &control);
                     });
}
