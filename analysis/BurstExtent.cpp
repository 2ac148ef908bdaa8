// The squelch of a burst's power.

#include "analysis/BurstExtent.h"

#include <algorithm>
#include <cmath>

namespace {

// Powers at or below which a fraction of the values lies (from at most
// about 2^16 of them, evenly spread).
double quantile(const std::vector<double>& values, double fraction)
{
    const std::size_t stride = std::max<std::size_t>(1, values.size() >> 16);
    std::vector<double> some;
    for (std::size_t k = 0; k < values.size(); k += stride)
        some.push_back(values[k]);
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(some.size() - 1));
    std::nth_element(some.begin(), some.begin() + static_cast<std::ptrdiff_t>(at), some.end());
    return some[at];
}

} // namespace

BurstSpan burstExtent(const std::vector<std::complex<double>>& y, std::size_t window)
{
    BurstSpan span;
    const std::size_t n = y.size();
    window = std::clamp<std::size_t>(window, 1, std::max<std::size_t>(n, 1));
    if (n == 0)
        return span;
    // Centred moving average: averaged[k] is the mean over samples
    // [k - h, k - h + window), cut at the ends.
    const std::size_t h = (window - 1) / 2;
    std::vector<double> prefix(n + 1, 0.0);
    for (std::size_t k = 0; k < n; ++k)
        prefix[k + 1] = prefix[k] + std::norm(y[k]);
    std::vector<double> averaged(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t lo = k - std::min(k, h);
        const std::size_t hi = std::min(n, lo + window);
        averaged[k] = (prefix[hi] - prefix[lo]) / static_cast<double>(hi - lo);
    }
    span.floor = quantile(averaged, 0.005);
    const double peak = quantile(averaged, 0.98);
    if (!(peak > 0))
        return span;
    if (!(peak > 4 * span.floor)) {
        span.level = prefix[n] / static_cast<double>(n);
        span.end = static_cast<double>(n);
        return span;
    }
    // The burst's level: the median of what lies above the geometric middle.
    const double middle = std::sqrt(span.floor * peak);
    std::vector<double> above;
    for (double p : averaged)
        if (p > middle)
            above.push_back(p);
    span.level = quantile(above, 0.5);
    // Hysteresis: a run over the squelch (halfway) counts when it reaches
    // three fifths of the way somewhere and lasts half a window; runs apart by
    // less than a window are one (a dip inside the burst does not cut it).
    const double squelch = span.floor + (span.level - span.floor) / 2;
    const double high = span.floor + (span.level - span.floor) * 3 / 5;
    const std::size_t shortest = std::max<std::size_t>(1, window / 2);
    std::size_t runFirst = 0, runEnd = 0;
    double runPeak = 0;
    bool open = false, any = false;
    auto close = [&] {
        if (open && runEnd - runFirst >= shortest && runPeak >= high) {
            if (!any)
                span.first = static_cast<double>(runFirst);
            span.end = static_cast<double>(runEnd);
            any = true;
        }
        open = false;
    };
    for (std::size_t k = 0; k < n; ++k) {
        if (!(averaged[k] > squelch))
            continue;
        std::size_t e = k;
        double peak = 0;
        while (e < n && averaged[e] > squelch)
            peak = std::max(peak, averaged[e++]);
        if (open && k - runEnd < window) {
            runEnd = e;
            runPeak = std::max(runPeak, peak);
        } else {
            close();
            runFirst = k;
            runEnd = e;
            runPeak = peak;
            open = true;
        }
        k = e;
    }
    close();
    return span;
}
