#pragma once
// What the band's signal is, printed by the command line's --estimate: one
// JSON object over the range and band of the settings shown.

#include "dsp/BlockStream.h"
#include "session/ViewSettings.h"

#include <string>

class Recording;
struct SignalEstimate;

// The contract's object: symbolRateHz, symbolRateConfidenceDb, modulation,
// frequencyOffsetHz, fskDeviationHz, fskTonesHz, samplesPerSymbol, in that
// order, null where there is none.
std::string signalEstimateJson(const SignalEstimate& estimate);

// Prints the estimate; messages on standard error. The exit status: 0, or 1
// for a failure.
int printSignalEstimate(const Recording& recording, const ViewSettings& settings, const DcOffset& offset);
