// The signal estimate of the band shown, read into memory as the band export
// writes it, printed as JSON.

#include "app/EstimateRun.h"

#include "analysis/BandSamples.h"
#include "analysis/SignalEstimate.h"
#include "dsp/WorkControl.h"
#include "io/Recording.h"
#include "plotdata/RangePass.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <stdexcept>

namespace {

template <typename T>
nlohmann::ordered_json valueOrNull(const std::optional<T>& value)
{
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

} // namespace

std::string signalEstimateJson(const SignalEstimate& e)
{
    nlohmann::ordered_json out;
    out["symbolRateHz"] = valueOrNull(e.symbolRateHz);
    out["symbolRateConfidenceDb"] = valueOrNull(e.symbolRateConfidenceDb);
    out["modulation"] = modulationName(e.modulation);
    out["frequencyOffsetHz"] = valueOrNull(e.frequencyOffsetHz);
    out["fskDeviationHz"] = valueOrNull(e.fskDeviationHz);
    out["fskTonesHz"] = valueOrNull(e.fskTonesHz);
    out["samplesPerSymbol"] = valueOrNull(e.samplesPerSymbol);
    return out.dump();
}

int printSignalEstimate(const Recording& recording, const ViewSettings& settings, const DcOffset& offset)
{
    const double fs = static_cast<double>(recording.sampleRate());
    const StreamRange range = streamRangeOf(fs, recording.sampleCount(), settings.range.start, settings.range.stop);
    BandSamplesRequest request;
    request.sampleRate = fs;
    request.low = settings.band.low;
    request.high = settings.band.high;
    request.first = range.first;
    request.end = range.end;
    try {
        WorkControl control;
        const BandSamples band = readBandSamples(*recording.samples(), request, offset, control);
        const SignalEstimate estimate = estimateSignal(band.y, band.rate, band.centreCorrection, fs);
        std::cout << signalEstimateJson(estimate) << std::endl;
    } catch (const std::invalid_argument& error) {
        std::cerr << "Cannot estimate the band's signal: " << error.what() << std::endl;
        return 1;
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return 0;
}
