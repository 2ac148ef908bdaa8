// FSK tones and deviation fitted to the symbols' mean frequencies.

#include "analysis/FskTones.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int phases = 16;
// Symbols either side whose spill-over the fit takes in.
constexpr int spill = 4;
constexpr int unknowns = 2 * spill + 2;
// Symbols the fit reads at most (the middle of a longer burst).
constexpr std::size_t maxSymbols = 4000;

// Solves a x = y (unknowns x unknowns) by Gaussian elimination with pivoting;
// false when singular.
bool solve(std::array<std::array<double, unknowns>, unknowns> a, std::array<double, unknowns> y,
           std::array<double, unknowns>& x)
{
    for (int c = 0; c < unknowns; ++c) {
        int pivot = c;
        for (int r = c + 1; r < unknowns; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c]))
                pivot = r;
        if (std::abs(a[pivot][c]) < 1e-12)
            return false;
        std::swap(a[c], a[pivot]);
        std::swap(y[c], y[pivot]);
        for (int r = c + 1; r < unknowns; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < unknowns; ++k)
                a[r][k] -= f * a[c][k];
            y[r] -= f * y[c];
        }
    }
    for (int c = unknowns - 1; c >= 0; --c) {
        double s = y[c];
        for (int k = c + 1; k < unknowns; ++k)
            s -= a[c][k] * x[k];
        x[c] = s / a[c][c];
    }
    return true;
}

double interpolate(const std::vector<double>& x, double at)
{
    const double clamped = std::clamp(at, 0.0, static_cast<double>(x.size() - 1));
    const auto k = static_cast<std::size_t>(clamped);
    if (k + 1 >= x.size())
        return x.back();
    const double t = clamped - static_cast<double>(k);
    return (1 - t) * x[k] + t * x[k + 1];
}

double within(const std::vector<double>& values, const std::vector<double>& centres)
{
    double sum = 0;
    for (double v : values) {
        double best = INFINITY;
        for (double c : centres)
            best = std::min(best, (v - c) * (v - c));
        sum += best;
    }
    return sum / static_cast<double>(values.size());
}

} // namespace

std::vector<double> clusterCentres(std::vector<double> values, int k)
{
    std::sort(values.begin(), values.end());
    std::vector<double> centres(static_cast<std::size_t>(k));
    const std::size_t n = values.size();
    for (int c = 0; c < k; ++c)
        centres[static_cast<std::size_t>(c)] = values[(2 * static_cast<std::size_t>(c) + 1) * n / (2 * static_cast<std::size_t>(k))];
    for (int round = 0; round < 30; ++round) {
        std::vector<double> sums(centres.size(), 0.0), counts(centres.size(), 0.0);
        std::size_t c = 0;
        for (double v : values) {
            // Values sorted: the nearest centre only moves up.
            while (c + 1 < centres.size() && std::abs(v - centres[c + 1]) < std::abs(v - centres[c]))
                ++c;
            sums[c] += v;
            counts[c] += 1;
        }
        bool moved = false;
        for (std::size_t j = 0; j < centres.size(); ++j)
            if (counts[j] > 0) {
                const double next = sums[j] / counts[j];
                moved = moved || next != centres[j];
                centres[j] = next;
            }
        std::sort(centres.begin(), centres.end());
        if (!moved)
            break;
    }
    return centres;
}

int levelCount(const std::vector<double>& values)
{
    const double two = within(values, clusterCentres(values, 2));
    const std::vector<double> c = clusterCentres(values, 4);
    const double four = within(values, c);
    // Four levels are evenly spaced; two, each spread by the neighbours'
    // spill-over, split into four with a wide middle gap.
    const bool even = c[2] - c[1] < 2 * std::max(c[1] - c[0], c[3] - c[2]);
    return two > 0 && four < 0.15 * two && even ? 4 : 2;
}

std::vector<double> perSymbol(const std::vector<double>& trace, double samplesPerSymbol, bool centres,
                              const std::vector<double>* alongside, std::vector<double>* alongsideMeans)
{
    const auto prefixOf = [](const std::vector<double>& x) {
        std::vector<double> prefix(x.size() + 1, 0.0);
        for (std::size_t k = 0; k < x.size(); ++k)
            prefix[k + 1] = prefix[k] + x[k];
        return prefix;
    };
    std::vector<double> prefix;
    if (!centres)
        prefix = prefixOf(trace);
    const double length = static_cast<double>(trace.size());
    const auto count = static_cast<std::size_t>(std::floor((length - 1) / samplesPerSymbol)) - 1;
    const std::size_t used = std::min(count, maxSymbols);
    const std::size_t skip = (count - used) / 2;
    std::vector<double> best;
    double bestSpread = -1;
    double bestStart = 0;
    for (int p = 0; p < phases; ++p) {
        const double start = (static_cast<double>(skip) + static_cast<double>(p) / phases) * samplesPerSymbol;
        std::vector<double> values(used);
        double mean = 0, square = 0;
        for (std::size_t k = 0; k < used; ++k) {
            const double at = start + static_cast<double>(k) * samplesPerSymbol;
            values[k] = centres ? interpolate(trace, at + samplesPerSymbol / 2)
                                : (interpolate(prefix, at + samplesPerSymbol) - interpolate(prefix, at)) /
                                      samplesPerSymbol;
            mean += values[k];
            square += values[k] * values[k];
        }
        const double spread = square - mean * mean / static_cast<double>(std::max<std::size_t>(used, 1));
        if (spread > bestSpread) {
            bestSpread = spread;
            bestStart = start;
            best = std::move(values);
        }
    }
    if (alongside && alongsideMeans) {
        const std::vector<double> other = prefixOf(*alongside);
        alongsideMeans->resize(used);
        for (std::size_t k = 0; k < used; ++k) {
            const double at = bestStart + static_cast<double>(k) * samplesPerSymbol;
            (*alongsideMeans)[k] =
                (interpolate(other, at + samplesPerSymbol) - interpolate(other, at)) / samplesPerSymbol;
        }
    }
    return best;
}

std::optional<FskTones> estimateFskTones(const std::vector<std::complex<double>>& z, double rate,
                                         double symbolRate)
{
    const double samplesPerSymbol = rate / symbolRate;
    if (z.size() < 2 || static_cast<double>(z.size()) < 24 * samplesPerSymbol)
        return std::nullopt;
    // Instantaneous frequency in hertz, between samples k - 1 and k.
    std::vector<double> frequency(z.size() - 1), power(z.size() - 1);
    for (std::size_t k = 1; k < z.size(); ++k) {
        frequency[k - 1] = std::arg(z[k] * std::conj(z[k - 1])) * rate / (2 * pi);
        power[k - 1] = std::norm(z[k]);
    }
    std::vector<double> powers;
    const std::vector<double> allMeans = perSymbol(frequency, samplesPerSymbol, false, &power, &powers);
    if (allMeans.size() < 2 * spill + 16)
        return std::nullopt;
    // Squelched: symbols whose power is under half the median are no part of
    // the signal (before or after the burst, or between bursts).
    std::vector<double> sortedPowers = powers;
    std::nth_element(sortedPowers.begin(), sortedPowers.begin() + static_cast<std::ptrdiff_t>(powers.size() / 2),
                     sortedPowers.end());
    const double squelch = sortedPowers[powers.size() / 2] / 2;
    std::vector<char> on(powers.size());
    std::vector<double> means;
    for (std::size_t k = 0; k < powers.size(); ++k) {
        on[k] = powers[k] >= squelch;
        if (on[k])
            means.push_back(allMeans[k]);
    }
    if (means.size() < 2 * spill + 16)
        return std::nullopt;

    FskTones out;
    out.levels = levelCount(means);
    const std::vector<double> centres = clusterCentres(means, out.levels);
    std::vector<double> symbol(allMeans.size());
    for (std::size_t k = 0; k < allMeans.size(); ++k) {
        std::size_t nearest = 0;
        for (std::size_t c = 1; c < centres.size(); ++c)
            if (std::abs(allMeans[k] - centres[c]) < std::abs(allMeans[k] - centres[nearest]))
                nearest = c;
        symbol[k] = 2.0 * static_cast<double>(nearest) - (out.levels - 1);
    }
    // means[k] = centre + sum over m of w_m symbol[k - m], m = -spill ... spill.
    std::array<std::array<double, unknowns>, unknowns> normal{};
    std::array<double, unknowns> right{};
    for (std::size_t k = spill; k + spill < allMeans.size(); ++k) {
        bool whole = true;
        for (std::size_t j = k - spill; j <= k + spill; ++j)
            whole = whole && on[j];
        if (!whole)
            continue;
        std::array<double, unknowns> row{};
        row[0] = 1;
        for (int m = -spill; m <= spill; ++m)
            row[static_cast<std::size_t>(m + spill + 1)] = symbol[static_cast<std::size_t>(static_cast<long long>(k) - m)];
        for (int r = 0; r < unknowns; ++r) {
            right[static_cast<std::size_t>(r)] += row[static_cast<std::size_t>(r)] * allMeans[k];
            for (int c = 0; c < unknowns; ++c)
                normal[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] +=
                    row[static_cast<std::size_t>(r)] * row[static_cast<std::size_t>(c)];
        }
    }
    std::array<double, unknowns> fit{};
    if (!solve(normal, right, fit))
        return std::nullopt;
    out.centre = fit[0];
    out.deviation = 0;
    for (int m = 1; m < unknowns; ++m)
        out.deviation += fit[static_cast<std::size_t>(m)];
    if (!(out.deviation > 0))
        return std::nullopt;
    for (int s = 0; s < out.levels; ++s)
        out.tones.push_back(out.centre + (2.0 * s - (out.levels - 1)) * out.deviation);
    return out;
}
