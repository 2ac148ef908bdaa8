#pragma once
// The Welch estimate of a range computed block by block: the same sums, in the
// same order and so with the same bits, as over the whole range at once.

#include "dsp/BlockStream.h"
#include "dsp/SegmentGatherer.h"
#include "dsp/WelchAccumulator.h"

#include <cstdint>
#include <vector>

class WelchStream : public BlockConsumer
{
public:
    // Samples [first, first + size) of a recording; N, L and V as for welchSpectrum.
    WelchStream(uint64_t first, uint64_t size, uint32_t N, uint32_t L, uint32_t V);

    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    // N linear powers in FFT bin order, once the whole range has been consumed.
    std::vector<double> result() const { return accumulator.result(); }
    // How the segments were cut: their count, length and hop.
    const WelchAccumulator& sums() const { return accumulator; }

private:
    WelchAccumulator accumulator;
    SegmentGatherer segments;
};
