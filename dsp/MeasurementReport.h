#pragma once
// Band measurements written out: one JSON object for files and the command line,
// plain text lines for the clipboard.

#include "dsp/SpectrumMeasurements.h"

#include <string>

// One JSON object with the keys bandLowHz, bandHighHz, binCount, binWidthHz,
// occupiedPercent, channelPowerDbm, noiseDensityDbHz, snrDb, occupiedBandwidthHz,
// occupiedLowHz, occupiedHighHz, peakFrequencyHz and meanFrequencyHz (Hz, dBm, dB/Hz,
// dB); absent and non-finite values are null. indent as nlohmann::json::dump:
// -1 writes one line.
std::string measurementsJson(const BandMeasurements& measurements, int indent = -1);

// One line per value, "Channel power: -23.41 dBm", two decimals whatever the
// locale, "-" for an absent value; each line ends with '\n'.
std::string measurementsText(const BandMeasurements& measurements);
