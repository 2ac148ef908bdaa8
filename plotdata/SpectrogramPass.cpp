// The spectrogram stream as a range computation.

#include "plotdata/SpectrogramPass.h"

#include "dsp/Fft.h"
#include "io/SampleSource.h"
#include "plotdata/SummarySet.h"

#include "dsp/FftBatch.h"
#include "dsp/Magnitude.h"
#include "dsp/Spectrum.h"

#include <algorithm>
#include <limits>
#include <vector>

SpectrogramPass::SpectrogramPass(const StreamRange& range, double fs, int exponent, double overlap,
                                 size_t maxColumns, std::shared_ptr<SummarySet> summaries)
    : range(range), fs(fs), exponent(exponent), overlap(overlap), summaries(std::move(summaries))
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

bool SpectrogramPass::previewFromSamples(const SampleSource& source, const DcOffset& offset, WorkControl& control)
{
    if (!stream)
        return false;
    const ColumnGrouping& grouping = stream->grouping();
    if (grouping.pooling < 2 || grouping.timeColumns() == 0)
        return false;
    const auto e = static_cast<uint32_t>(exponent);
    const uint32_t n = uint32_t(1) << e;
    const uint32_t half = n / 2;
    const uint32_t hop = spectrogramHop(n, overlap);
    const size_t count = static_cast<size_t>(grouping.outputColumns());
    const uint64_t firstGroup = grouping.first / grouping.pooling;
    const std::vector<double> window = hannWindow(n);
    FftBatch batch(e);
    const uint32_t lanes = batch.lanes();
    std::vector<double> i(size_t(lanes) * n), q(i.size()), magnitude(n);
    const SpectrogramDecibels decibels(n, fs);
    PooledSpectrogram preview;
    preview.sourceColumns = grouping.timeColumns();
    preview.maxValue = std::numeric_limits<double>::lowest();
    preview.columns.resize(count, n);
    double largest = -1.0;
    for (size_t x = 0; x < count; x += lanes) {
        control.check();
        const uint32_t take = static_cast<uint32_t>(std::min<size_t>(lanes, count - x));
        const double* iSeg[FftBatch::maxLanes];
        const double* qSeg[FftBatch::maxLanes];
        for (uint32_t l = 0; l < take; ++l) {
            // The middle time column of the group, within the range.
            const uint64_t group = firstGroup + x + l;
            const uint64_t lo = std::max(grouping.first, group * grouping.pooling);
            const uint64_t hi = std::min(grouping.end, (group + 1) * grouping.pooling);
            const uint64_t column = lo + (hi - lo) / 2;
            double* iAt = i.data() + size_t(l) * n;
            double* qAt = q.data() + size_t(l) * n;
            source.read(grouping.origin + column * hop, n, iAt, qAt);
            for (uint32_t k = 0; offset.remove && k < n; ++k) {
                iAt[k] -= offset.i;
                qAt[k] -= offset.q;
            }
            iSeg[l] = iAt;
            qSeg[l] = qAt;
        }
        batch.transformWindowed(take, iSeg, qSeg, window.data());
        for (uint32_t l = 0; l < take; ++l) {
            // Rows ordered as the pass orders them: the negative frequencies first.
            magnitudes(batch.re(l) + half, batch.im(l) + half, n - half, magnitude.data());
            magnitudes(batch.re(l), batch.im(l), half, magnitude.data() + (n - half));
            double* out = preview.columns.column(x + l);
            for (uint32_t k = 0; k < n; ++k) {
                const double a = singlePrecisionMagnitude(magnitude[k]);
                if (a > largest)
                    largest = a;
                out[k] = decibels(a);
            }
        }
    }
    if (largest >= 0)
        preview.maxValue = decibels(largest);
    columns = std::move(preview);
    return true;
}
