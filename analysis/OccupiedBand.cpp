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

// e^{-i omega k} for k = first, first + step, ...: a rotation multiplied on,
// recomputed exactly every so often so that rounding cannot build up.
class Rotation
{
public:
    Rotation(double omega, std::size_t first, std::size_t step) : omega(omega), step(step), at(first)
    {
        turn = std::polar(1.0, -omega * static_cast<double>(step));
        value = std::polar(1.0, -omega * static_cast<double>(first));
    }
    std::complex<double> next()
    {
        const std::complex<double> current = value;
        at += step;
        if (++count % resync == 0)
            value = std::polar(1.0, -omega * static_cast<double>(at));
        else
            value *= turn;
        return current;
    }

private:
    static constexpr std::size_t resync = 1024;
    double omega;
    std::size_t step;
    std::size_t at;
    std::size_t count = 0;
    std::complex<double> turn, value;
};

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

IsolatedSignal OccupiedBand::isolate(const std::complex<double>* y, std::size_t n) const
{
    IsolatedSignal out;
    out.centre = centroid;
    const double pass = std::max(passMargin * width, 2 * binHz());
    out.halfWidth = pass;
    const double omega = 2 * pi * centroid / rate;
    const double floorPerSample = floorDensity * rate;
    if (4 * pass > rate) {
        // Nothing to take off: mixed to the centre, and with a sample put
        // between every two, so that products of the signal with itself (twice
        // as wide) do not fold over.
        std::vector<std::complex<double>> mixed(n);
        Rotation rotation(omega, 0, 1);
        for (std::size_t k = 0; k < n; ++k)
            mixed[k] = y[k] * rotation.next();
        std::vector<double> taps(2 * interpolationReach);
        for (std::size_t j = 0; j < taps.size(); ++j) {
            const double x = static_cast<double>(j) - static_cast<double>(interpolationReach) + 0.5;
            const double w = 0.5 + 0.5 * std::cos(pi * x / static_cast<double>(interpolationReach));
            taps[j] = std::sin(pi * x) / (pi * x) * w;
        }
        out.z.resize(2 * n);
        for (std::size_t k = 0; k < n; ++k) {
            out.z[2 * k] = mixed[k];
            std::complex<double> between = 0;
            // Between k and k + 1: taps j take mixed[k + 1 + reach - 1 - j].
            for (std::size_t j = 0; j < taps.size(); ++j) {
                const auto at = static_cast<long long>(k + interpolationReach) - static_cast<long long>(j);
                if (at >= 0 && at < static_cast<long long>(n))
                    between += taps[j] * mixed[static_cast<std::size_t>(at)];
            }
            out.z[2 * k + 1] = between;
        }
        out.z.pop_back();
        out.rate = 2 * rate;
        out.noisePower = floorPerSample;
        out.halfWidth = rate / 2;
    } else {
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
        Rotation rotation(omega, first, decimation);
        for (std::size_t c = first; c <= last && c < n; c += decimation) {
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
            out.z.emplace_back(acc * rotation.next());
        }
        out.rate = rate / static_cast<double>(decimation);
        out.noisePower = floorPerSample * gain2;
    }
    if (out.z.size() < 64) {
        out.z.clear();
        return out;
    }
    // Trimmed to where the power, averaged, stands above the noise.
    const std::size_t m = out.z.size();
    const double on = out.noisePower * (1 + 4 / std::sqrt(static_cast<double>(trimWindow)));
    std::vector<double> prefix(m + 1, 0.0);
    for (std::size_t k = 0; k < m; ++k)
        prefix[k + 1] = prefix[k] + std::norm(out.z[k]);
    std::size_t begin = m, end = 0;
    for (std::size_t k = 0; k + trimWindow <= m; ++k)
        if ((prefix[k + trimWindow] - prefix[k]) / trimWindow > on) {
            begin = std::min(begin, k);
            end = std::max(end, k + trimWindow);
        }
    if (begin < end && end - begin >= 64) {
        out.z.erase(out.z.begin() + static_cast<std::ptrdiff_t>(end), out.z.end());
        out.z.erase(out.z.begin(), out.z.begin() + static_cast<std::ptrdiff_t>(begin));
    }
    return out;
}
