// Band-limited bursts in white noise.

#include "tests/signals/BurstRecording.h"

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace testsignals {

namespace {

// In-place radix-2 inverse DFT without the 1/N factor (size a power of two).
void inverseDft(std::vector<std::complex<double>>& a)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2.0 * std::numbers::pi / static_cast<double>(len);
        for (std::size_t i = 0; i < n; i += len)
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> w = std::polar(1.0, angle * static_cast<double>(k));
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
    }
}

} // namespace

Iq bandLimitedNoise(std::size_t count, double rate, double low, double high, double power, uint32_t seed)
{
    std::size_t n = 1;
    while (n < count)
        n <<= 1;
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<std::complex<double>> spectrum(n);
    for (std::size_t k = 0; k < n; ++k) {
        // Bin k at k rate / n, the upper half negative.
        const double f = (k < n / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(n))
                         * rate / static_cast<double>(n);
        if (f >= low && f <= high)
            spectrum[k] = {normal(rng), normal(rng)};
    }
    inverseDft(spectrum);
    double sum = 0.0;
    for (std::size_t k = 0; k < count; ++k)
        sum += std::norm(spectrum[k]);
    const double scale = sum > 0 ? std::sqrt(power * static_cast<double>(count) / sum) : 0.0;
    Iq out;
    out.i.resize(count);
    out.q.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        out.i[k] = spectrum[k].real() * scale;
        out.q[k] = spectrum[k].imag() * scale;
    }
    return out;
}

Iq burstRecording(std::size_t count, double rate, double noisePower, const std::vector<BurstPlan>& bursts,
                  uint32_t seed)
{
    Iq out = noise(count, noisePower, seed);
    uint32_t next = seed * 7919u + 1u;
    for (const BurstPlan& b : bursts) {
        const double power = std::pow(10.0, b.snrDb / 10.0) * noisePower * (b.high - b.low) / rate;
        out.add(bandLimitedNoise(b.length, rate, b.low, b.high, power, next++), b.start);
    }
    return out;
}

std::vector<BurstPlan> burstTrain(std::size_t count, std::size_t length, double bandwidth, double snrDb,
                                  std::size_t gap, double rate, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> centre(-rate / 2 + bandwidth / 2, rate / 2 - bandwidth / 2);
    std::vector<BurstPlan> plans;
    for (std::size_t at = gap; at + length <= count; at += length + gap) {
        const double c = centre(rng);
        plans.push_back({at, length, c - bandwidth / 2, c + bandwidth / 2, snrDb});
    }
    return plans;
}

} // namespace testsignals
