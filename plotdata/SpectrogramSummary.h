#pragma once
// The spectrogram of a whole recording kept pooled by maximum in aligned
// power-of-two groups of its grid's time columns, at a ladder of group sizes,
// in single precision: a range whose pooling reaches the finest kept group is
// put together from them, with only the few time columns at its ends that do
// not fill a kept group computed from samples; the columns are those a pass
// over the range gives, bit for bit.

#include "dsp/BlockStream.h"
#include "dsp/SpectrogramStream.h"
#include "plotdata/SummaryStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SampleSource;

class SpectrogramSummary
{
public:
    // The recording's `samples` samples at sampleRate, FFT size 2^exponent and
    // the overlap fraction, the DC offset `offset` taken out; the finest group
    // as fine as budgetBytes allows (none when nothing fits).
    SpectrogramSummary(uint64_t samples, double sampleRate, uint32_t exponent, double overlap,
                       const DcOffset& offset, uint64_t budgetBytes);

    bool empty() const { return levels.empty(); }
    // Group sizes kept, finest first, and the store's sections (one per size).
    const std::vector<uint64_t>& poolings() const { return levels; }
    std::vector<SectionLayout> layout() const;
    // What the summary depends on, as text (for a cache file's key).
    std::string key() const;
    uint32_t exponent() const { return fftExponent; }
    double overlap() const { return overlapFraction; }
    const DcOffset& offset() const { return dc; }
    // The grid's time columns over the whole recording.
    uint64_t columns() const { return gridColumns; }

    // The store the records go to while built, and are read from once it is ready.
    void setStore(std::shared_ptr<SummaryStore> store) { records = std::move(store); }
    const std::shared_ptr<SummaryStore>& store() const { return records; }

    // Receives the finest groups of a stream over the whole recording (added
    // with addSink at poolings().front()) and fills every level of the store.
    std::unique_ptr<PooledColumnSink> builder();

    // Whether a range grouped so, of FFT size 2^exponent and this overlap with
    // this offset, can be put together from the summary once its store is ready.
    bool serves(const ColumnGrouping& grouping, uint32_t exponent, double overlap,
                const DcOffset& offset) const;
    // Its pooled columns as SpectrogramStream gives them: the kept groups read
    // from the store, the time columns at the ends that fill no kept group
    // computed from `source` (offset taken out). Nothing when the store cannot
    // be read. Throws WorkCancelled, and the source's read errors.
    std::optional<PooledSpectrogram> pooledColumns(const ColumnGrouping& grouping,
                                                   const SampleSource& source,
                                                   WorkControl& control) const;

    // A coarser picture of samples [first, end) from the summary alone: the
    // grid's columns inside them in the smallest kept groups of at least
    // `pooling` columns (whole, also where a group reaches past the ends).
    // Nothing for fewer than a few groups, or when the store cannot be read.
    std::optional<PooledSpectrogram> sketch(uint64_t first, uint64_t end, uint64_t pooling) const;

private:
    uint64_t samples;
    double sampleRate;
    uint32_t fftExponent;
    double overlapFraction;
    uint32_t hop;
    DcOffset dc;
    uint64_t gridColumns;
    std::vector<uint64_t> levels;
    std::shared_ptr<SummaryStore> records;
};
