// The spectrogram stream as a range computation.

#include "plotdata/SpectrogramPass.h"

#include "dsp/Fft.h"

SpectrogramPass::SpectrogramPass(const StreamRange& range, double fs, int exponent, double overlap,
                                 size_t maxColumns)
{
    if (exponent >= 1 && exponent <= static_cast<int>(maxFftExponent) && range.end > 0)
        stream = std::make_unique<SpectrogramStream>(range.first, range.size(),
                                                     static_cast<uint32_t>(exponent), overlap, fs,
                                                     maxColumns);
}

BlockConsumer& SpectrogramPass::consumer()
{
    return stream ? static_cast<BlockConsumer&>(*stream) : idle;
}

bool SpectrogramPass::finishPass()
{
    if (stream)
        columns = stream->takeResult();
    return true;
}
