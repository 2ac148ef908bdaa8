#pragma once
// The samples of one band of a range of a recording, as the band export writes
// them (BandExtractor: mixed to 0 Hz, filtered, decimated, rounded to single
// precision), held in memory for the analyses that look at a whole burst.

#include "dsp/BlockStream.h"
#include "dsp/WorkControl.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

class SampleSource;

struct BandSamplesRequest
{
    double sampleRate = 1;
    // The band, baseband hertz, -rate / 2 <= low < high <= rate / 2.
    double low = -0.5;
    double high = 0.5;
    // Input samples [first, end) of the range.
    uint64_t first = 0;
    uint64_t end = 0;
    // Outputs kept at most: a longer range is refused (std::invalid_argument).
    std::size_t maxOutputs = std::size_t(1) << 24;
};

struct BandSamples
{
    std::vector<std::complex<double>> y;
    // Output rate, and the recording's samples per output.
    double rate = 1;
    uint32_t decimation = 1;
    // The recording's sample that y[0] stands at: y[k] is at firstInput + k * decimation.
    uint64_t firstInput = 0;
    // Hertz added to frequencies measured in y to make them relative to the band's centre.
    double centreCorrection = 0;
};

// Reads the range (and the filter's surroundings within the recording) from
// `source`, with the offset taken out. Throws std::invalid_argument for a band
// the extractor refuses or a range longer than maxOutputs, WorkCancelled when
// cancelled, std::runtime_error when the samples cannot be read.
BandSamples readBandSamples(const SampleSource& source, const BandSamplesRequest& request, const DcOffset& offset,
                            WorkControl& control);
