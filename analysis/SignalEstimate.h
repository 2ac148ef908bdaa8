#pragma once
// What a band's signal is: its symbol rate with how sure the estimate is, its
// modulation, its frequency offset and, for FSK, its tones and deviation,
// estimated from the band's samples (mixed to 0 Hz, filtered, decimated).

#include "analysis/Modulation.h"

#include <complex>
#include <optional>
#include <vector>

struct SignalEstimate
{
    std::optional<double> symbolRateHz;
    // The symbol-rate line's height over the median of its spectrum, dB.
    std::optional<double> symbolRateConfidenceDb;
    Modulation modulation = Modulation::Unknown;
    // Hertz relative to the band's centre.
    std::optional<double> frequencyOffsetHz;
    // FSK: half the spacing of adjacent tones, and the tones (ascending),
    // hertz relative to the band's centre.
    std::optional<double> fskDeviationHz;
    std::optional<std::vector<double>> fskTonesHz;
    // Samples of the recording per symbol.
    std::optional<double> samplesPerSymbol;
};

// The estimate from `band`, samples at `rate`; `centreCorrection` hertz are
// added to frequencies measured in the band to make them relative to its
// centre, and `recordingRate` gives samplesPerSymbol in the recording's samples.
SignalEstimate estimateSignal(const std::vector<std::complex<double>>& band, double rate,
                              double centreCorrection, double recordingRate);
