#pragma once
// One band of a recording on its own: its centre mixed to 0 Hz, the rest
// filtered off and the rate divided by the largest whole factor that keeps it.
// Streaming: the output is the same whatever blocks the input arrives in.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

class BandExtractor
{
public:
    // Passband ripple and stopband attenuation the filter is designed for.
    static constexpr double maxRippleDb = 0.1;
    static constexpr double minAttenuationDb = 60.0;
    // The output rate is at least this many times the band's width.
    static constexpr double rateMargin = 1.25;
    // Bands narrower than the rate over maxDecimation * rateMargin are decimated
    // by maxDecimation only, which bounds the filter's length.
    static constexpr uint32_t maxDecimation = uint32_t(1) << 16;

    // sampleRate in samples per second; the band [low, high] in baseband hertz
    // with -sampleRate / 2 <= low < high <= sampleRate / 2. Throws
    // std::invalid_argument otherwise. With wholeOutputRate (for formats that
    // store whole rates only) and a whole sampleRate, D is the largest factor
    // that keeps the band and divides the rate. simd lets the filter use the
    // vector unit where the processor has one (same bits either way).
    BandExtractor(double sampleRate, double low, double high, bool wholeOutputRate = false,
                  bool simd = true);

    // The decimation factor D and the output rate sampleRate / D.
    uint32_t decimation() const { return factor; }
    double outputRate() const { return rate / factor; }
    // Hertz the band is moved down by: its centre rounded to rate / 2^20, so that
    // the mixer's phase is exact integer arithmetic on the sample index.
    double mixFrequency() const { return mix; }
    // The low-pass filter at the input rate: odd count, symmetric, unit gain at 0 Hz.
    const std::vector<double>& taps() const { return filter; }
    // Output samples for a range of inputs count long: ceil(inputs / D).
    uint64_t outputCount(uint64_t inputs) const { return (inputs + factor - 1) / factor; }
    // Samples either side of an output that its filter takes in.
    uint64_t reach() const { return half; }

    // Starts a range of count samples from the recording's sample first whose
    // surroundings are given too: process() then takes samples from up to
    // reach() before first (earlier ones are skipped) and after the range's end,
    // which the filter uses but which make no outputs of their own. Without this
    // call the first process() starts a range that lasts until flush(), and the
    // samples around it are taken as zero.
    void startRange(uint64_t first, uint64_t count);

    // The next count samples, index being the recording's index of the first:
    // the first call starts the range (unless startRange did), later ones
    // follow without gaps. Appends the outputs now complete to out, in the
    // input's units (gain 1 in the band). Output m is the filtered band at input
    // sample first + m * D.
    void process(uint64_t index, std::size_t count, const double* i, const double* q,
                 std::vector<std::complex<double>>& out);
    // Appends the outputs still owed once the range has ended, taking the
    // recording as zero beyond the samples given; afterwards outputCount(inputs)
    // outputs have been given, and the next process() starts a new range.
    void flush(std::vector<std::complex<double>>& out);

private:
    static constexpr int phaseBits = 20;
    static constexpr int fineBits = 10;

    // Appends outputs below limit whose window lies within the first available
    // samples of the range.
    void computeReady(uint64_t available, uint64_t limit, std::vector<std::complex<double>>& out);
    // The filter's output centred on buffer position centre.
    std::complex<double> filterAt(std::size_t centre) const;
    std::complex<double> filterAtVec4(std::size_t centre) const;

    double rate;
    bool vectorUnit = false;
    uint32_t factor = 1;
    double mix = 0.0;
    uint32_t phaseStep = 0;
    std::vector<double> filter;
    std::size_t half = 0;
    // exp(-2 pi j p / 2^20) = coarse[p >> fineBits] * fine[p & (2^fineBits - 1)].
    std::vector<std::complex<double>> coarse;
    std::vector<std::complex<double>> fine;

    bool started = false;
    bool declared = false;    // startRange() gave the range
    uint64_t rangeFirst = 0;  // the recording's index of the range's first sample
    uint64_t rangeCount = 0;  // its length
    uint64_t nextIndex = 0;   // the recording's index of the next sample
    uint64_t inputs = 0;      // samples of the range received
    uint64_t nextOutput = 0;  // index m of the next output
    // Mixed samples of the range from bufferStart on (indices relative to the
    // range's first sample; the zeros before it have negative indices).
    int64_t bufferStart = 0;
    std::vector<double> re;
    std::vector<double> im;
};
