#pragma once
// The spectrogram of a range as a computation: its time columns pooled by
// maximum into at most a given number of columns.

#include "dsp/SpectrogramStream.h"
#include "plotdata/RangePass.h"

#include <cstdint>
#include <memory>

class SpectrogramPass : public RangeComputation
{
public:
    // Samples `range` at fs, FFT size 2^exponent, the overlap fraction; nothing
    // is computed for an exponent outside 1 ... maxFftExponent or an empty recording.
    SpectrogramPass(const StreamRange& range, double fs, int exponent, double overlap,
                    size_t maxColumns);

    BlockConsumer& consumer() override;
    bool finishPass() override;
    // The columns, once the pass is done (none for a range shorter than one FFT).
    PooledSpectrogram& result() { return columns; }

private:
    std::unique_ptr<SpectrogramStream> stream;
    IdleConsumer idle;
    PooledSpectrogram columns;
};
