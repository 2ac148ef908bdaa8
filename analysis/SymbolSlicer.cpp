// k-means levels and the slicer.

#include "analysis/SymbolSlicer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr int iterations = 40;
constexpr std::size_t mostValues = std::size_t(1) << 16;

// The number of the level nearest v (levels ascending).
int nearest(const std::vector<double>& thresholds, double v)
{
    return static_cast<int>(std::upper_bound(thresholds.begin(), thresholds.end(), v) - thresholds.begin());
}

} // namespace

std::vector<double> fitLevels(std::vector<double> values, int count)
{
    // Levels need no more than some tens of thousands of values.
    if (values.size() > mostValues) {
        const std::size_t stride = (values.size() + mostValues - 1) / mostValues;
        std::size_t kept = 0;
        for (std::size_t k = 0; k < values.size(); k += stride)
            values[kept++] = values[k];
        values.resize(kept);
    }
    std::erase_if(values, [](double v) { return std::isnan(v); });
    std::vector<double> levels(static_cast<std::size_t>(std::max(count, 1)), 0.0);
    if (values.empty())
        return levels;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    // Prefix sums: the mean of any run of sorted values in constant time.
    std::vector<double> prefix(n + 1, 0.0);
    for (std::size_t k = 0; k < n; ++k)
        prefix[k + 1] = prefix[k] + values[k];
    const std::size_t m = levels.size();
    for (std::size_t j = 0; j < m; ++j)
        levels[j] = values[std::min(n - 1, (2 * j + 1) * n / (2 * m))];
    for (int it = 0; it < iterations; ++it) {
        std::vector<double> next = levels;
        std::size_t from = 0;
        for (std::size_t j = 0; j < m; ++j) {
            std::size_t to = n;
            if (j + 1 < m) {
                const double cut = (levels[j] + levels[j + 1]) / 2;
                to = static_cast<std::size_t>(std::upper_bound(values.begin() + static_cast<std::ptrdiff_t>(from),
                                                               values.end(), cut) -
                                              values.begin());
            }
            if (to > from)
                next[j] = (prefix[to] - prefix[from]) / static_cast<double>(to - from);
            from = to;
        }
        if (next == levels)
            break;
        levels = next;
    }
    // Levels that met (too few distinct values) are spread over the range.
    for (std::size_t j = 1; j < m; ++j)
        if (!(levels[j] > levels[j - 1])) {
            const double low = values.front();
            const double span = values.back() > low ? values.back() - low : 1.0;
            for (std::size_t k = 0; k < m; ++k)
                levels[k] = low + span * static_cast<double>(k) / static_cast<double>(m > 1 ? m - 1 : 1);
            break;
        }
    return levels;
}

std::vector<double> levelThresholds(const std::vector<double>& levels)
{
    std::vector<double> thresholds;
    for (std::size_t j = 1; j < levels.size(); ++j)
        thresholds.push_back((levels[j - 1] + levels[j]) / 2);
    return thresholds;
}

std::vector<double> fittedThresholds(const std::vector<double>& values, const std::vector<double>& levels)
{
    std::vector<double> thresholds = levelThresholds(levels);
    const std::size_t m = levels.size();
    if (m < 2)
        return thresholds;
    // Each cluster's count, mean and spread, the values split at the midpoints.
    std::vector<double> count(m), sum(m), squares(m);
    for (double v : values) {
        if (std::isnan(v))
            continue;
        const auto j = static_cast<std::size_t>(nearest(thresholds, v));
        count[j] += 1;
        sum[j] += v;
        squares[j] += v * v;
    }
    constexpr double fewest = 8;
    constexpr double pi = 3.14159265358979323846;
    for (std::size_t j = 0; j + 1 < m; ++j) {
        if (count[j] < fewest || count[j + 1] < fewest)
            continue;
        auto spread = [&](std::size_t k) {
            const double mean = sum[k] / count[k];
            return std::sqrt(std::max(0.0, squares[k] / count[k] - mean * mean));
        };
        const double mean0 = sum[j] / count[j], mean1 = sum[j + 1] / count[j + 1];
        const double s0 = spread(j), s1 = spread(j + 1);
        if (!(s0 > 0) || !(s1 > 0))
            continue;
        // A Rayleigh envelope's spread is 0.52 of its mean; a level well clear
        // of the noise has far less.
        const bool rayleigh = j == 0 && s0 > 0.4 * mean0;
        const double sigma = mean0 / std::sqrt(pi / 2);
        auto logDensity0 = [&](double x) {
            if (rayleigh)
                return std::log(x / (sigma * sigma)) - x * x / (2 * sigma * sigma);
            const double z = (x - mean0) / s0;
            return -std::log(s0 * std::sqrt(2 * pi)) - z * z / 2;
        };
        auto logDensity1 = [&](double x) {
            const double z = (x - mean1) / s1;
            return -std::log(s1 * std::sqrt(2 * pi)) - z * z / 2;
        };
        // The crossing between the two means, by bisection: below it the
        // lower cluster is the likelier.
        double lo = levels[j], hi = levels[j + 1];
        auto lower = [&](double x) {
            return std::log(count[j]) + logDensity0(x) > std::log(count[j + 1]) + logDensity1(x);
        };
        if ((rayleigh && !(lo > 0)) || !lower(lo) || lower(hi))
            continue;
        for (int it = 0; it < 60; ++it) {
            const double mid = (lo + hi) / 2;
            (lower(mid) ? lo : hi) = mid;
        }
        thresholds[j] = (lo + hi) / 2;
    }
    return thresholds;
}

std::vector<int> sliceLevels(const std::vector<double>& values, const std::vector<double>& levels,
                             const std::vector<double>& thresholds, double hysteresis)
{
    std::vector<int> symbols;
    symbols.reserve(values.size());
    int previous = 0;
    for (double v : values) {
        if (std::isnan(v)) {
            symbols.push_back(previous);
            continue;
        }
        int s = nearest(thresholds, v);
        if (hysteresis > 0 && std::abs(s - previous) == 1) {
            // The threshold between the previous level and this one, moved
            // away from the previous level by the hysteresis.
            const std::size_t t = static_cast<std::size_t>(std::min(s, previous));
            const double spacing = levels[t + 1] - levels[t];
            const double cut = thresholds[t] + (s > previous ? 1 : -1) * hysteresis * spacing;
            if (s > previous ? v < cut : v > cut)
                s = previous;
        }
        symbols.push_back(s);
        previous = s;
    }
    return symbols;
}
