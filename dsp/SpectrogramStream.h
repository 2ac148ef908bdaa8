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

// Output column x of `columns` pooled columns over `sourceColumns` time columns
// holds time columns floor(x K / F) ... floor((x + 1) K / F) - 1.
uint64_t pooledColumnStart(uint64_t x, uint64_t sourceColumns, uint64_t columns);

struct PooledSpectrogram
{
    // Columns of N levels in dB/Hz, rows ordered as Spectrogram orders them. Each is the per-row maximum of its share of the
    // range's time columns (NaN counting as the largest); one per time column
    // when there are no more of them than were asked for. The maximum is taken
    // over the magnitudes, before the conversion to dB, which rises with them.
    ColumnMatrix columns;
    // Time columns of the range.
    uint64_t sourceColumns = 0;
    // The largest value over all time columns (NaN never counts): the lowest
    // double when there is none.
    double maxValue = 0;
};

class SpectrogramStream : public BlockConsumer
{
public:
    // Samples [first, first + length) of a recording at sampleRate, N = 2^exponent
    // (at most maxFftExponent), at most maxColumns output columns (at least 1).
    SpectrogramStream(uint64_t first, uint64_t length, uint32_t exponent, double overlap,
                      double sampleRate, size_t maxColumns);

    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    // The result, once every sample of the range has been consumed.
    PooledSpectrogram takeResult();

private:
    // Columns begin ... end - 1, column c's samples at (c - begin) hop from i and q.
    void computeColumns(uint64_t begin, uint64_t end, const double* i, const double* q,
                        WorkControl& control);
    // Pools time column c, transformed into re/im (natural bin order), into its
    // output column; magnitude is N values of scratch, lanesMax four running
    // maxima of the magnitudes.
    void poolColumn(uint64_t c, const double* re, const double* im, double* magnitude, double* lanesMax);

    uint32_t exponent;
    uint32_t n;
    uint32_t hop;
    double sampleRate;
    uint64_t sourceColumns;
    uint64_t outputColumns;
    std::vector<double> window;
    // Magnitudes pooled so far, one column per output column.
    ColumnMatrix pooled;
    double largestMagnitude;
    bool anyMagnitude = false;
    SegmentGatherer segments;
};
