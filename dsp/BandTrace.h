#pragma once
// What a band carries, sample by sample: the band of a recording extracted as
// an export of it is (BandExtractor: mixed to 0 Hz, filtered, decimated by D,
// rounded to single precision), on the recording's grid of every D-th sample,
// then turned into its amplitude in dBFS, its instantaneous frequency in hertz
// (the mean of the phase turns from the output before and to the one after,
// so that it stands at the output's own time) or its unwrapped phase in
// degrees. Where a squelch is set, frequency and phase are left out (NaN)
// wherever the band's power, averaged over a few outputs, lies below a
// threshold. Streaming: the values are the same whatever blocks the samples
// arrive in, and output m of the grid (input sample m D) has the same value for
// every range holding it (the phase, unwrapped from the range's first output,
// up to whole turns).

#include "dsp/BandExtractor.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class TraceKind
{
    Amplitude,
    Frequency,
    Phase,
};

struct TraceRequest
{
    TraceKind kind = TraceKind::Frequency;
    double sampleRate = 1;
    // Samples of the whole recording: the grid ends there, and only there (and
    // before its first sample) is the band taken as zero.
    uint64_t recordingSamples = 0;
    // The band, baseband hertz, -rate / 2 <= low < high <= rate / 2.
    double low = -0.5;
    double high = 0.5;
    // Input samples [first, end) of the range: its outputs are the grid's in it.
    uint64_t first = 0;
    uint64_t end = 0;
    // Sample value of full scale, for the amplitude in dBFS.
    double fullScale = 1;
    // Power, dBFS, below which (the mean power of an output and its
    // squelchHalfSpan neighbours on each side) frequency and phase are left
    // out; nothing for no squelch.
    std::optional<double> squelchBelowDb;
};

class BandTrace
{
public:
    // Outputs averaged for the squelch: the output and this many on each side.
    static constexpr uint64_t squelchHalfSpan = 2;

    // Throws std::invalid_argument for a band BandExtractor refuses.
    explicit BandTrace(const TraceRequest& request);

    uint32_t decimation() const { return extractor.decimation(); }
    double outputRate() const { return extractor.outputRate(); }
    // Grid index of the first output of the range and the number of outputs.
    uint64_t firstOutput() const { return shownFirst; }
    uint64_t outputCount() const { return shownEnd - shownFirst; }
    // Hertz added to the mixer's frequency to give the band's centre: the
    // frequency values are relative to the band's centre.
    double centreCorrection() const { return correction; }
    // The input samples a pass must feed: the range's outputs' filter windows,
    // one output before it (frequency) and the squelch's neighbours.
    uint64_t readFirst() const { return inputFirst; }
    uint64_t readEnd() const { return inputEnd; }

    // The next `count` samples, sample `index` of the recording first; blocks
    // arrive in order and without gaps, and parts outside readFirst() ...
    // readEnd() are passed over. Appends the values of the range's outputs now
    // complete to `values` and, when given, their powers in dBFS to `powers`.
    void consume(uint64_t index, std::size_t count, const double* i, const double* q,
                 std::vector<double>& values, std::vector<double>* powers = nullptr);
    // Once readEnd() has been fed: the values still owed. Afterwards
    // outputCount() values have been given.
    void finish(std::vector<double>& values, std::vector<double>* powers = nullptr);

private:
    // Values of the kept outputs whose neighbours are all known; all of them at the end.
    void giveValues(bool atEnd, std::vector<double>& values, std::vector<double>* powers);
    double powerDb(std::complex<double> y) const;

    TraceRequest request;
    BandExtractor extractor;
    double correction = 0;
    uint64_t shownFirst = 0;
    uint64_t shownEnd = 0;
    // Grid outputs kept: [keptFirst, keptEnd); the extractor starts at startOutput.
    uint64_t keptFirst = 0;
    uint64_t keptEnd = 0;
    uint64_t startOutput = 0;
    uint64_t inputFirst = 0;
    uint64_t inputEnd = 0;
    // Inputs fed so far; outputs the extractor has given (counted from startOutput).
    uint64_t fed = 0;
    uint64_t extracted = 0;
    // Kept outputs from bufferFirst on, and the next output to give a value for.
    std::vector<std::complex<double>> buffer;
    uint64_t bufferFirst = 0;
    uint64_t nextValue = 0;
    std::vector<std::complex<double>> scratch;
    // Phase unwrapping: whole turns added and the last angle.
    int64_t turns = 0;
    double lastAngle = 0;
    bool anyAngle = false;
    bool finished = false;
};

// The trace of a whole range from samples held in memory (i and q of the
// whole recording): values of the range's outputs. The literal use of BandTrace.
std::vector<double> traceOf(const TraceRequest& request, const std::vector<double>& i,
                            const std::vector<double>& q, std::size_t block = std::size_t(1) << 16);
