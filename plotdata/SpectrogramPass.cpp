// The spectrogram stream as a range computation.

#include "plotdata/SpectrogramPass.h"

#include "dsp/Fft.h"
#include "io/SampleSource.h"
#include "plotdata/SummarySet.h"

SpectrogramPass::SpectrogramPass(const StreamRange& range, double fs, int exponent, double overlap,
                                 size_t maxColumns, std::shared_ptr<SummarySet> summaries)
    : range(range), exponent(exponent), overlap(overlap), summaries(std::move(summaries))
{
    if (exponent >= 1 && exponent <= static_cast<int>(maxFftExponent) && range.end > 0)
        stream = std::make_unique<SpectrogramStream>(range.first, range.size(),
                                                     static_cast<uint32_t>(exponent), overlap, fs,
                                                     maxColumns);
}

SpectrogramPass::~SpectrogramPass() = default;

BlockConsumer& SpectrogramPass::consumer()
{
    return stream ? static_cast<BlockConsumer&>(*stream) : idle;
}

bool SpectrogramPass::computeFromSummaries(const SampleSource& source, const DcOffset& offset,
                                           WorkControl& control)
{
    if (!stream || !summaries)
        return false;
    const ColumnGrouping& grouping = stream->grouping();
    const auto e = static_cast<uint32_t>(exponent);
    if (auto kept = summaries->spectrogram(e, overlap, offset); kept && kept->serves(grouping, e, overlap, offset)) {
        if (std::optional<PooledSpectrogram> put = kept->pooledColumns(grouping, source, control)) {
            columns = std::move(*put);
            return true;
        }
    }
    // A pass over the whole recording keeps its summaries on the way.
    const uint32_t n = uint32_t(1) << e;
    if (grouping.origin == 0 && grouping.first == 0
        && grouping.end == spectrogramColumnCount(source.size(), n, spectrogramHop(n, overlap))) {
        building = summaries->buildSpectrogram(e, overlap, offset);
        if (building) {
            builder = building->builder();
            stream->addSink(building->poolings().front(), builder.get());
        }
    }
    return false;
}

bool SpectrogramPass::sketchFromSummaries(const DcOffset& offset)
{
    if (!stream || !summaries)
        return false;
    const auto kept = summaries->spectrogram(static_cast<uint32_t>(exponent), overlap, offset);
    std::optional<PooledSpectrogram> sketch = kept ? kept->sketch(range.first, range.end, stream->grouping().pooling)
                                                    : std::nullopt;
    if (sketch)
        columns = std::move(*sketch);
    return sketch.has_value();
}

bool SpectrogramPass::finishPass()
{
    if (stream)
        columns = stream->takeResult();
    if (building && columns.sourceColumns > 0) {
        builder.reset();
        summaries->finished(building);
        building.reset();
    }
    return true;
}
