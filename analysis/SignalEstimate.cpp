// The signal estimate (to come: no estimate yet).

#include "analysis/SignalEstimate.h"

SignalEstimate estimateSignal(const std::vector<std::complex<double>>& band, double rate,
                              double centreCorrection, double recordingRate)
{
    (void)band;
    (void)rate;
    (void)centreCorrection;
    (void)recordingRate;
    return {};
}
