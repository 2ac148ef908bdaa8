#pragma once
// The spectrogram of a range computed block by block, its time columns pooled
// by maximum into a bounded number of columns as they are made, so that memory
// does not grow with the length of the range.

#include "dsp/BlockStream.h"
#include "dsp/ColumnMatrix.h"
#include "dsp/SegmentGatherer.h"

#include <cstdint>
#include <vector>

// Samples between the starts of neighbouring columns (never 0, so a full
// overlap still moves on).
uint32_t spectrogramHop(uint32_t N, double overlap);
// Time columns of N samples, `hop` apart, that a range of `length` samples holds.
uint64_t spectrogramColumnCount(uint64_t length, uint32_t N, uint32_t hop);
// A magnitude rounded to single precision as pooled columns keep it: finite
// values beyond the largest float saturate to it (about 770 dB/Hz), NaN and
// infinity stay. Rises with its argument, so it commutes with pooling by maximum.
double singlePrecisionMagnitude(double a);

// Levels in dB/Hz of the magnitudes of an N-point transform of samples at fs:
// 10 log10(|X|^2 / N^2 / (fs / N) + 2^-52).
struct SpectrogramDecibels
{
    SpectrogramDecibels(uint32_t n, double sampleRate)
        : inverseNSquared(1.0 / (double(n) * double(n))), q(sampleRate / double(n))
    {
    }
    double operator()(double a) const;
    // N^2 is a power of two: dividing by it and multiplying by its reciprocal
    // round the same exact value.
    double inverseNSquared;
    double q;
};

// Which time columns a range shows and how they are pooled. Time column c
// starts at sample origin + c hop; the range shows columns [first, end), and
// output column x pools those of them in group floor(c / pooling) = x +
// floor(first / pooling). While the range's own columns (origin at its first
// sample) are no more than the columns asked for, each is an output column
// (pooling 1). Otherwise the columns are those of the recording's grid (origin
// 0) that lie wholly inside the range, in aligned groups of the smallest power
// of two that makes no more output columns than asked for: every range pools
// the same time columns into the same groups, so pooled pictures can be put
// together from pooled pieces.
struct ColumnGrouping
{
    uint64_t origin = 0;
    uint64_t first = 0;
    uint64_t end = 0;
    uint64_t pooling = 1;
    uint64_t timeColumns() const { return end - first; }
    // Output columns: groups touched by [first, end).
    uint64_t outputColumns() const { return end > first ? (end - 1) / pooling - first / pooling + 1 : 0; }
};
// For samples [first, first + length), N-sample columns `hop` apart, at most
// maxColumns output columns (at least 1).
ColumnGrouping spectrogramGrouping(uint64_t first, uint64_t length, uint32_t N, uint32_t hop,
                                   uint64_t maxColumns);

struct PooledSpectrogram
{
    // Columns of N levels in dB/Hz, rows ordered as Spectrogram orders them. Each is the per-row maximum of its group of the
    // range's time columns (NaN counting as the largest), as spectrogramGrouping
    // groups them. The maximum is taken over the magnitudes, before the
    // conversion to dB, which rises with them; pooled magnitudes (pooling
    // above 1) are rounded to single precision first, so that pooled pieces
    // kept in single precision give the same values.
    ColumnMatrix columns;
    // Time columns of the range.
    uint64_t sourceColumns = 0;
    // The largest value over all time columns (NaN never counts): the lowest
    // double when there is none.
    double maxValue = 0;
};

// Receives the pooled columns of a stream in order, as magnitudes (before any
// rounding or conversion to dB).
class PooledColumnSink
{
public:
    virtual ~PooledColumnSink() = default;
    // Output column x (group x of the grouping, counted from column 0 of the
    // grid) is complete: N per-bin maxima of its time columns in the range, and
    // their largest finite magnitude (-1 when none is finite).
    virtual void take(uint64_t x, const double* magnitudes, double largest) = 0;
};

class SpectrogramStream : public BlockConsumer
{
public:
    // Samples [first, first + length) of a recording at sampleRate, N = 2^exponent
    // (at most maxFftExponent), at most maxColumns output columns (at least 1),
    // grouped by spectrogramGrouping.
    SpectrogramStream(uint64_t first, uint64_t length, uint32_t exponent, double overlap,
                      double sampleRate, size_t maxColumns);
    // Time columns [firstColumn, endColumn) of the recording's grid (origin 0),
    // pooled in aligned groups of `pooling` (a power of two) and handed to sink
    // as they complete instead of being kept (takeResult gives no columns).
    SpectrogramStream(uint32_t exponent, double overlap, double sampleRate, uint64_t firstColumn,
                      uint64_t endColumn, uint64_t pooling, PooledColumnSink* sink);

    // Also hands the same time columns, pooled in aligned groups of `pooling`, to
    // sink. Only for a stream on the recording's grid (origin 0).
    void addSink(uint64_t pooling, PooledColumnSink* sink);
    const ColumnGrouping& grouping() const { return group; }

    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    // The result, once every sample of the range has been consumed.
    PooledSpectrogram takeResult();

private:
    // Output columns of one grouping, kept whole (the result) or only while
    // they fill (a sink's).
    struct Pooler
    {
        uint64_t pooling = 1;
        PooledColumnSink* sink = nullptr;
        // Columns held: output columns base ... base + held.size() - 1.
        ColumnMatrix held;
        std::vector<double> largest;
        uint64_t base = 0;
    };
    // Columns begin ... end - 1, column c's samples at (c - begin) hop from i and q.
    void computeColumns(uint64_t begin, uint64_t end, const double* i, const double* q,
                        WorkControl& control);
    // Makes room in each sink's pooler for the groups of columns [begin, end),
    // keeping a group begun in an earlier block.
    void prepareSinks(uint64_t begin, uint64_t end);
    // Hands on the sinks' groups that [.., end) completed.
    void flushSinks(uint64_t end);

    uint32_t exponent;
    uint32_t n;
    uint32_t hop;
    double sampleRate;
    ColumnGrouping group;
    std::vector<double> window;
    // The result's pooler first, then one per sink.
    std::vector<Pooler> poolers;
    double largestMagnitude = -1;
    SegmentGatherer segments;
};
