// The occupied band of a signal and the signal isolated from the rest.

#include "analysis/OccupiedBand.h"

#include "dsp/FftWork.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
// Welch segments averaged at most (spread evenly over the range).
constexpr std::size_t maxSegments = 64;
// Standard deviations of the averaged spectrum a bin must stand above the floor.
constexpr double standOut = 5;
// The passband's half-width over the occupied half-width.
constexpr double passMargin = 1.2;
// Samples of z the trimming averages the power over.
constexpr std::size_t trimWindow = 32;
// Samples either side the half-sample interpolation reads.
constexpr std::size_t interpolationReach = 16;
// Outputs the span of the signal is looked for in (spread evenly over the range).
constexpr std::size_t coarseSamples = std::size_t(1) << 16;

uint32_t welchExponent(std::size_t n)
{
    uint32_t e = 6;
    while (e < 12 && (std::size_t(1) << (e + 1)) * 16 <= n)
        ++e;
    return e;
}

} // namespace

OccupiedBand::OccupiedBand(const std::complex<double>* y, std::size_t n, double r) : rate(r)
{
    const uint32_t e = welchExponent(n);
    const std::size_t size = std::size_t(1) << e;
    psd.assign(size, 0.0);
    if (n < size)
        return;
    std::vector<double> window(size);
    double windowPower = 0;
    for (std::size_t k = 0; k < size; ++k) {
        window[k] = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(k) / static_cast<double>(size));
        windowPower += window[k] * window[k];
    }
    // Segments overlapping by half, spread evenly when there are more.
    const std::size_t available = (n - size) / (size / 2) + 1;
    const std::size_t segments = std::min(available, maxSegments);
    FftWork work(e);
    for (std::size_t s = 0; s < segments; ++s) {
        const std::size_t first = (available == segments ? s : s * available / segments) * (size / 2);
        for (std::size_t k = 0; k < size; ++k) {
            work.inputRe()[k] = y[first + k].real() * window[k];
            work.inputIm()[k] = y[first + k].imag() * window[k];
        }
        work.transformInput();
        for (std::size_t k = 0; k < size; ++k)
            psd[k] += work.re()[k] * work.re()[k] + work.im()[k] * work.im()[k];
    }
    for (double& p : psd)
        p /= static_cast<double>(segments) * windowPower;

    // Smoothed over five bins, in natural order.
    std::vector<double> smooth(size);
    for (std::size_t k = 0; k < size; ++k)
        smooth[k] = (psd[(k + size - 2) % size] + psd[(k + size - 1) % size] + psd[k] + psd[(k + 1) % size] +
                     psd[(k + 2) % size]) / 5;

    // The floor: the lowest level many bins share (a histogram's lowest busy
    // mode), looked for no lower than 25 dB under the median so that a filter's
    // stopband at the band's edges is not taken for it.
    std::vector<double> levels(size);
    for (std::size_t k = 0; k < size; ++k)
        levels[k] = 10 * std::log10(smooth[k] + 1e-300);
    std::vector<double> sorted = levels;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(size / 2), sorted.end());
    const double median = sorted[size / 2];
    constexpr double step = 0.5;
    const double lowest = median - 25;
    std::vector<double> counts(static_cast<std::size_t>(std::ceil(200 / step)), 0.0);
    std::size_t considered = 0;
    for (double l : levels)
        if (l >= lowest) {
            const auto b = static_cast<std::size_t>((l - lowest) / step);
            if (b < counts.size()) {
                counts[b] += 1;
                ++considered;
            }
        }
    double mode = median;
    for (std::size_t b = 1; b + 1 < counts.size(); ++b) {
        const double c = counts[b - 1] + counts[b] + counts[b + 1];
        const double before = b >= 2 ? counts[b - 2] + counts[b - 1] + counts[b] : 0.0;
        const double after = b + 2 < counts.size() ? counts[b] + counts[b + 1] + counts[b + 2] : 0.0;
        if (c >= 0.05 * static_cast<double>(considered) && c >= before && c >= after) {
            mode = lowest + (static_cast<double>(b) + 0.5) * step;
            break;
        }
    }
    const double spreadDb = 10 * std::log10(1 + 2 / std::sqrt(static_cast<double>(segments) * 3)) + step;
    double floorSum = 0;
    std::size_t floorBins = 0;
    for (std::size_t k = 0; k < size; ++k)
        if (std::abs(levels[k] - mode) <= spreadDb) {
            floorSum += smooth[k];
            ++floorBins;
        }
    const double floorLevel = floorBins ? floorSum / static_cast<double>(floorBins) : std::pow(10.0, mode / 10);
    floorDensity = floorLevel / rate;

    // Bins clearly above the floor (a run of two at least).
    const double threshold = floorLevel * (1 + standOut / std::sqrt(static_cast<double>(segments) * 2));
    std::vector<char> above(size);
    for (std::size_t k = 0; k < size; ++k)
        above[k] = smooth[k] > threshold;
    double excess = 0, moment = 0;
    double lowHz = 0, highHz = 0;
    for (std::size_t k = 0; k < size; ++k) {
        if (!above[k] || !(above[(k + size - 1) % size] || above[(k + 1) % size]))
            continue;
        const double f = (k >= size / 2 ? static_cast<double>(k) - static_cast<double>(size)
                                        : static_cast<double>(k)) * binHz();
        const double x = psd[k] - floorLevel;
        if (x <= 0)
            continue;
        if (!signalFound) {
            lowHz = highHz = f;
        }
        signalFound = true;
        lowHz = std::min(lowHz, f);
        highHz = std::max(highHz, f);
        excess += x;
        moment += x * f;
    }
    if (signalFound) {
        centroid = moment / excess;
        width = std::max(centroid - lowHz, highHz - centroid) + binHz();
    }
}

namespace {

// Where the power, averaged over a few samples, stands above `noise` times a
// margin: [begin, end) of `powers` (samples `step` apart), or the whole. Runs
// above it shorter than two windows are the noise's own peaks.
std::pair<std::size_t, std::size_t> signalSpan(const std::vector<double>& powers, double noise, std::size_t step)
{
    const std::size_t m = powers.size();
    const std::size_t window = std::min(m, std::max<std::size_t>(8, trimWindow / step));
    const double on = noise * (1 + 4 / std::sqrt(static_cast<double>(window * step)));
    std::vector<double> prefix(m + 1, 0.0);
    for (std::size_t k = 0; k < m; ++k)
        prefix[k + 1] = prefix[k] + powers[k];
    std::size_t begin = m, end = 0;
    std::size_t runStart = 0, runLength = 0;
    for (std::size_t k = 0; k + window <= m + 1; ++k) {
        const bool above =
            k + window <= m && (prefix[k + window] - prefix[k]) / static_cast<double>(window) > on;
        if (above) {
            if (runLength++ == 0)
                runStart = k;
            continue;
        }
        if (runLength >= 2 * window || (runLength > 0 && runLength + window >= m)) {
            begin = std::min(begin, runStart);
            end = std::max(end, runStart + runLength - 1 + window);
        }
        runLength = 0;
    }
    if (begin >= end)
        return {0, m};
    return {begin, end};
}

// [first, first + length) of the span [begin, end): its middle, `most` long at most.
std::pair<std::size_t, std::size_t> middleOf(std::size_t begin, std::size_t end, std::size_t most)
{
    const std::size_t length = std::min(end - begin, most);
    return {begin + (end - begin - length) / 2, length};
}

} // namespace

IsolatedSignal OccupiedBand::isolate(const std::complex<double>* y, std::size_t n, std::size_t most) const
{
    IsolatedSignal out;
    out.centre = centroid;
    const double pass = std::max(passMargin * width, 2 * binHz());
    out.halfWidth = pass;
    const double omega = 2 * pi * centroid / rate;
    const double floorPerSample = floorDensity * rate;
    if (n < 64)
        return out;
    if (4 * pass > rate) {
        // Nothing to take off: mixed to the centre, and with a sample put
        // between every two, so that products of the signal with itself (twice
        // as wide) do not fold over. The span is found on the samples' power.
        const std::size_t step = std::max<std::size_t>(1, n / coarseSamples);
        std::vector<double> powers;
        for (std::size_t k = 0; k < n; k += step)
            powers.push_back(std::norm(y[k]));
        const auto [b, e] = signalSpan(powers, floorPerSample, step);
        const auto [first, length] = middleOf(b * step, std::min(n, e * step), most / 2);
        if (length < 32)
            return out;
        const std::size_t from = first >= interpolationReach ? first - interpolationReach : 0;
        const std::size_t to = std::min(n, first + length + interpolationReach);
        std::vector<std::complex<double>> mixed(to - from);
        for (std::size_t k = from; k < to; ++k)
            mixed[k - from] = y[k] * std::polar(1.0, -omega * static_cast<double>(k));
        std::vector<double> taps(2 * interpolationReach);
        for (std::size_t j = 0; j < taps.size(); ++j) {
            const double x = static_cast<double>(j) - static_cast<double>(interpolationReach) + 0.5;
            const double w = 0.5 + 0.5 * std::cos(pi * x / static_cast<double>(interpolationReach));
            taps[j] = std::sin(pi * x) / (pi * x) * w;
        }
        out.z.resize(2 * length - 1);
        for (std::size_t k = first; k < first + length; ++k) {
            out.z[2 * (k - first)] = mixed[k - from];
            if (k + 1 == first + length)
                break;
            std::complex<double> between = 0;
            // Between k and k + 1: tap j takes sample k + reach - j.
            for (std::size_t j = 0; j < taps.size(); ++j) {
                const auto at = static_cast<long long>(k + interpolationReach) - static_cast<long long>(j);
                if (at >= static_cast<long long>(from) && at < static_cast<long long>(to))
                    between += taps[j] * mixed[static_cast<std::size_t>(at) - from];
            }
            out.z[2 * (k - first) + 1] = between;
        }
        out.rate = 2 * rate;
        out.noisePower = floorPerSample;
        out.halfWidth = rate / 2;
        return out;
    }
    const auto decimation = static_cast<std::size_t>(std::max(1.0, std::floor(rate / (4 * pass))));
    // Hann-windowed sinc, passband to `pass`, stopband from 2 pass.
    const auto half = static_cast<long long>(std::ceil(2 * rate / pass));
    const double cutoff = 1.5 * pass / rate;
    std::vector<double> taps;
    double sum = 0;
    for (long long j = -half; j <= half; ++j) {
        const double x = static_cast<double>(j);
        const double sinc = j == 0 ? 2 * cutoff : std::sin(2 * pi * cutoff * x) / (pi * x);
        const double w = 0.5 + 0.5 * std::cos(pi * x / static_cast<double>(half + 1));
        taps.push_back(sinc * w);
        sum += sinc * w;
    }
    double gain2 = 0;
    for (double& t : taps) {
        t /= sum;
        gain2 += t * t;
    }
    // Mixing folded into the taps: z[m] = e^{-i w c} sum_j h_j e^{i w j} y[c - j].
    const std::size_t count = taps.size();
    std::vector<double> tapRe(count), tapIm(count);
    for (std::size_t k = 0; k < count; ++k) {
        const double j = static_cast<double>(static_cast<long long>(k) - half);
        tapRe[k] = taps[k] * std::cos(omega * j);
        tapIm[k] = taps[k] * std::sin(omega * j);
    }
    const auto h = static_cast<std::size_t>(half);
    // Outputs whose window lies in the range, unless too few do.
    std::size_t first = h, last = n > h ? n - 1 - h : 0;
    if (n <= 2 * h || (last - first) / decimation < 64) {
        first = 0;
        last = n - 1;
    }
    const std::size_t outputs = (last - first) / decimation + 1;
    // Output m, at input first + m D.
    const auto outputAt = [&](std::size_t m) {
        const std::size_t c = first + m * decimation;
        // Taps k take y[c + half - k]; four partial sums keep the adds apart.
        const std::size_t kFrom = c + h >= n ? c + h - (n - 1) : 0;
        const std::size_t kTo = std::min(count - 1, c + h);
        double re[4] = {0, 0, 0, 0}, im[4] = {0, 0, 0, 0};
        std::size_t k = kFrom;
        for (; k + 3 <= kTo; k += 4)
            for (std::size_t u = 0; u < 4; ++u) {
                const std::complex<double> v = y[c + h - k - u];
                re[u] += tapRe[k + u] * v.real() - tapIm[k + u] * v.imag();
                im[u] += tapRe[k + u] * v.imag() + tapIm[k + u] * v.real();
            }
        for (; k <= kTo; ++k) {
            const std::complex<double> v = y[c + h - k];
            re[0] += tapRe[k] * v.real() - tapIm[k] * v.imag();
            im[0] += tapRe[k] * v.imag() + tapIm[k] * v.real();
        }
        const std::complex<double> acc((re[0] + re[1]) + (re[2] + re[3]), (im[0] + im[1]) + (im[2] + im[3]));
        return acc * std::polar(1.0, -omega * static_cast<double>(c));
    };
    out.rate = rate / static_cast<double>(decimation);
    out.noisePower = floorPerSample * gain2;
    // The span where the signal is on, from every step-th output; then the
    // outputs of its middle.
    const std::size_t step = std::max<std::size_t>(1, outputs / coarseSamples);
    std::vector<double> powers;
    std::vector<std::complex<double>> all;
    for (std::size_t m = 0; m < outputs; m += step) {
        const std::complex<double> v = outputAt(m);
        powers.push_back(std::norm(v));
        if (step == 1)
            all.push_back(v);
    }
    const auto [b, e] = signalSpan(powers, out.noisePower, step);
    const auto [from, length] = middleOf(b * step, std::min(outputs, e * step), most);
    if (length < 64)
        return out;
    if (step == 1) {
        out.z.assign(all.begin() + static_cast<std::ptrdiff_t>(from),
                     all.begin() + static_cast<std::ptrdiff_t>(from + length));
        return out;
    }
    out.z.resize(length);
    for (std::size_t m = 0; m < length; ++m)
        out.z[m] = outputAt(from + m);
    return out;
}
