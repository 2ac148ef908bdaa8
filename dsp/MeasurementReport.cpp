// JSON and clipboard text of the band measurements.

#include "dsp/MeasurementReport.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <optional>

namespace {

constexpr int decimals = 2;

nlohmann::json number(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return nullptr;
    return *value;
}

std::string text(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return "-";
    char buffer[400]; // room for the 309 integer digits of the largest double
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::fixed, decimals);
    return std::string(buffer, written.ptr);
}

} // namespace

std::string measurementsJson(const BandMeasurements& m, int indent)
{
    nlohmann::json object = {
        {"bandLowHz", number(m.bandLowHz)},
        {"bandHighHz", number(m.bandHighHz)},
        {"binCount", m.binCount},
        {"binWidthHz", number(m.binWidthHz)},
        {"occupiedPercent", number(m.occupiedPercent)},
        {"channelPowerDbm", number(m.channelPowerDbm)},
        {"noiseDensityDbHz", number(m.noiseDensityDbHz)},
        {"snrDb", number(m.snrDb)},
        {"occupiedBandwidthHz", number(m.occupiedBandwidthHz)},
        {"occupiedLowHz", number(m.occupiedLowHz)},
        {"occupiedHighHz", number(m.occupiedHighHz)},
        {"peakFrequencyHz", number(m.peakFrequencyHz)},
        {"meanFrequencyHz", number(m.meanFrequencyHz)},
    };
    return object.dump(indent);
}

std::string measurementsText(const BandMeasurements& m)
{
    return "Band: " + text(m.bandLowHz) + " to " + text(m.bandHighHz) + " Hz\n"
           + "Channel power: " + text(m.channelPowerDbm) + " dBm\n"
           + "Noise density: " + text(m.noiseDensityDbHz) + " dB/Hz\n"
           + "SNR: " + text(m.snrDb) + " dB\n"
           + "Occupied bandwidth (" + text(m.occupiedPercent) + " %): " + text(m.occupiedBandwidthHz) + " Hz\n"
           + "Occupied band: " + text(m.occupiedLowHz) + " to " + text(m.occupiedHighHz) + " Hz\n"
           + "Peak frequency: " + text(m.peakFrequencyHz) + " Hz\n"
           + "Mean frequency: " + text(m.meanFrequencyHz) + " Hz\n";
}
