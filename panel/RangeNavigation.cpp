// Zoom and pan arithmetic, and the texts of the fields it fills.

#include "panel/RangeNavigation.h"

#include "plotdata/PlotMath.h"

#include <algorithm>
#include <cmath>

namespace {

bool finite(const ValueRange& r)
{
    return std::isfinite(r.low) && std::isfinite(r.high) && std::isfinite(r.high - r.low);
}

// A range of the given span moved inside the limits (the limits when wider).
ValueRange placedInside(double low, double span, const ValueRange& limits)
{
    if (!(span < limits.span()))
        return limits;
    low = std::clamp(low, limits.low, limits.high - span);
    return {low, low + span};
}

// Text of a time landing on `sample`: `lands` says whether a value does.
template <typename Lands>
QString timeText(uint64_t sample, double fs, double bias, Lands lands)
{
    const double k = static_cast<double>(sample);
    const double exact = k / fs;
    const double target = (k + bias) / fs;
    constexpr int mostDecimals = 20;
    for (int decimals = 0; decimals <= mostDecimals; ++decimals) {
        for (double candidate : {exact, target}) {
            const QString text = QString::number(candidate, 'f', decimals);
            const double v = text.toDouble();
            if (lands(v) && std::fabs(v - exact) * fs <= 1e-3)
                return text;
        }
    }
    return QString::number(target, 'g', 17);
}

} // namespace

std::optional<ValueRange> selectedRange(double from, double to, const ValueRange& limits,
                                        double minSpan)
{
    if (!std::isfinite(from) || !std::isfinite(to) || !finite(limits) || !(limits.span() > 0))
        return std::nullopt;
    const double low = std::clamp(std::min(from, to), limits.low, limits.high);
    const double high = std::clamp(std::max(from, to), limits.low, limits.high);
    if (!(high > low))
        return std::nullopt;
    if (high - low >= minSpan)
        return ValueRange{low, high};
    return placedInside(low + (high - low) / 2 - minSpan / 2, minSpan, limits);
}

ValueRange zoomedRange(const ValueRange& range, double anchor, double factor,
                       const ValueRange& limits, double minSpan)
{
    if (!finite(range) || !finite(limits) || !(range.span() > 0) || !std::isfinite(factor)
        || !(factor > 0))
        return range;
    const double span = std::clamp(range.span() * factor, std::min(minSpan, limits.span()),
                                   limits.span());
    const double at = std::isfinite(anchor) ? std::clamp(anchor, range.low, range.high) : range.low;
    return placedInside(at - (at - range.low) * (span / range.span()), span, limits);
}

ValueRange pannedRange(const ValueRange& range, double delta, const ValueRange& limits)
{
    if (!finite(range) || !finite(limits) || !std::isfinite(delta))
        return range;
    return placedInside(range.low + delta, range.span(), limits);
}

SampleSpan sampleSpan(const ValueRange& samples, uint64_t count, uint64_t minSamples)
{
    const double n = static_cast<double>(count);
    auto index = [n](double v) {
        return static_cast<uint64_t>(std::clamp(std::isfinite(v) ? std::round(v) : 0.0, 0.0, n));
    };
    SampleSpan span{index(std::min(samples.low, samples.high)),
                    index(std::max(samples.low, samples.high))};
    if (count <= minSamples)
        return {0, count};
    if (span.last - span.first < minSamples) {
        const uint64_t middle = span.first + (span.last - span.first) / 2;
        span.first = middle - std::min(middle, minSamples / 2);
        span.first = std::min(span.first, count - minSamples);
        span.last = span.first + minSamples;
    }
    return span;
}

QString startTimeText(uint64_t sample, double fs)
{
    const double k = static_cast<double>(sample);
    return timeText(sample, fs, 1e-4, [k, fs](double t) { return sampleAtOrAfter(fs, t) == k; });
}

QString stopTimeText(uint64_t sample, double fs)
{
    const double k = static_cast<double>(sample);
    return timeText(sample, fs, -1e-4, [k, fs](double t) { return sampleAtOrBefore(fs, t) == k; });
}

std::optional<ValueRange> wholeHertzBand(const ValueRange& band, const ValueRange& limits)
{
    if (!finite(band) || !finite(limits))
        return std::nullopt;
    const double low = std::max(std::floor(band.low), limits.low);
    const double high = std::min(std::ceil(band.high), limits.high);
    if (!(high > low))
        return std::nullopt;
    return ValueRange{low, high};
}

TimeRange timeRangeOf(const SampleSpan& span, double fs, double duration)
{
    const double start = startTimeText(span.first, fs).toDouble();
    double stop = stopTimeText(span.last, fs).toDouble();
    if ((duration - stop) / duration < 1e-5)
        stop = duration;
    return {start, stop};
}
