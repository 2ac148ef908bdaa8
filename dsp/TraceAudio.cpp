// FM and AM audio of a band at 48 kHz.

#include "dsp/TraceAudio.h"

#include "dsp/WorkControl.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <cmath>

std::vector<int16_t> audioFromTrace(const std::vector<double>& values, double outputRate, bool am,
                                    double halfWidth)
{
    std::vector<double> x(values.size(), 0.0);
    if (am) {
        double sum = 0;
        std::size_t counted = 0;
        for (double v : values)
            if (std::isfinite(v)) {
                sum += v;
                ++counted;
            }
        const double mean = counted ? sum / static_cast<double>(counted) : 0.0;
        double peak = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            x[k] = std::isfinite(values[k]) ? values[k] - mean : 0.0;
            peak = std::max(peak, std::abs(x[k]));
        }
        for (double& v : x)
            v = peak > 0 ? v * (0.9 / peak) : 0.0;
    } else {
        for (std::size_t k = 0; k < values.size(); ++k)
            x[k] = std::isfinite(values[k]) ? std::clamp(values[k] / halfWidth, -1.0, 1.0) : 0.0;
    }
    const double step = outputRate / audioRate;
    const auto count = static_cast<std::size_t>(std::floor(static_cast<double>(x.size()) / step));
    std::vector<int16_t> audio(count);
    for (std::size_t k = 0; k < count; ++k) {
        const double at = static_cast<double>(k) * step;
        double s = 0;
        if (step > 1) {
            const auto lo = static_cast<std::size_t>(std::max(0.0, std::floor(at - step / 2)));
            const auto hi = std::min(x.size(), std::max(lo + 1, static_cast<std::size_t>(std::floor(at + step / 2))));
            for (std::size_t j = lo; j < hi; ++j)
                s += x[j];
            s /= static_cast<double>(hi - lo);
        } else {
            const auto j = static_cast<std::size_t>(at);
            const double frac = at - static_cast<double>(j);
            s = j + 1 < x.size() ? x[j] * (1 - frac) + x[j + 1] * frac : x[j];
        }
        audio[k] = static_cast<int16_t>(std::lround(std::clamp(s, -1.0, 1.0) * 32767.0));
    }
    return audio;
}

std::vector<int16_t> bandAudio(const SampleSource& source, const AudioRequest& request, double offsetI,
                               double offsetQ, bool removeOffset, WorkControl& control)
{
    const bool am = request.kind == TraceKind::Amplitude;
    TraceRequest trace;
    trace.kind = am ? TraceKind::Amplitude : TraceKind::Frequency;
    trace.sampleRate = request.sampleRate;
    trace.recordingSamples = source.size();
    trace.low = request.low;
    trace.high = request.high;
    trace.first = request.first;
    const auto longest = static_cast<uint64_t>(std::max(0.0, request.longest * request.sampleRate));
    trace.end = std::min(request.end, request.first + longest);
    BandTrace band(trace);
    std::vector<double> values;
    constexpr std::size_t block = std::size_t(1) << 16;
    std::vector<double> i(block), q(block);
    for (uint64_t at = band.readFirst(); at < band.readEnd();) {
        control.check();
        const auto count = static_cast<std::size_t>(std::min<uint64_t>(block, band.readEnd() - at));
        source.read(at, count, i.data(), q.data());
        for (std::size_t k = 0; removeOffset && k < count; ++k) {
            i[k] -= offsetI;
            q[k] -= offsetQ;
        }
        band.consume(at, count, i.data(), q.data(), values);
        at += count;
    }
    band.finish(values);
    // The amplitude trace in dB back to the envelope's magnitude.
    if (am)
        for (double& v : values)
            v = std::pow(10.0, v / 20.0);
    return audioFromTrace(values, band.outputRate(), am, (request.high - request.low) / 2.0);
}
