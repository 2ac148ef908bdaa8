#pragma once
// The whole spectrogram matrix of a time range, kept in memory for callers that
// want every column: the views' stream (SpectrogramStream) run over the range at
// once with one output column per time column. Each column is one
// windowed N-point segment; rows go from -fs/2 up to just below +fs/2 with DC in
// row N/2. Levels are 10 log10(|X|^2 / (N fs) + 2^-52) dB/Hz, the window's own
// power left in, so silence reads -156.54.

#include "dsp/ColumnMatrix.h"

#include <cstdint>
#include <vector>

class Recording;

class Spectrogram
{
public:
    explicit Spectrogram(const Recording* recording);

    // Start and stop in seconds; the stop sample is included. Converts them to
    // sample indices (floor and ceil of time x sample rate, saturated to the
    // index types) and recomputes.
    void setTimeRange(double start, double stop);
    // Rebuilds the matrix from the recording. Does nothing without a loaded,
    // non-empty recording; throws std::runtime_error when I and Q differ in
    // length, leaving the matrix as it was. The range is clamped to the
    // recording (a negative start reads from sample 0, a start past the end
    // gives no column); a range shorter than N leaves the matrix empty and the
    // maximum unchanged. Columns are shared out over the processor's cores;
    // the call returns when all are done, with the same values as one thread.
    void compute();
    // What compute() does, on the given sequences and sample rate instead of
    // the recording's (same checks, same error).
    void computeSamples(const std::vector<double>& iSamples, const std::vector<double>& qSamples, double sampleRate);

    // columns().size() columns of fftSize() values; columns()[c][k] is row k
    // of column c, columns().column(c) a pointer to its contiguous values.
    const ColumnMatrix& columns() const { return matrix; }
    uint32_t fftSize() const { return size; }
    // N = 2^exponent; does not recompute. Throws std::invalid_argument above 31.
    void setFftSizeExponent(uint32_t exponent);
    // Fraction of a segment shared with the next one.
    double overlap() const { return overlapFraction; }
    // Does not recompute.
    void setOverlap(double fraction) { overlapFraction = fraction; }
    // The largest value of the last computation that produced a column,
    // truncated toward zero (saturated to the int range); 1 before any.
    int maxPower() const;

private:
    const Recording* recording;
    ColumnMatrix matrix;
    double maxValue = 1.0;
    uint32_t size = 256;
    double overlapFraction = 0.8;
    int32_t startSample = 0;
    uint32_t stopSample = 0;
};
