// Known signals from closed forms and fixed seeds.

#include "tests/signals/SignalGenerator.h"

#include <cmath>
#include <numbers>
#include <random>

namespace testsignals {

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;

// A phase kept within one turn, so that long signals stay exact.
double wrapped(double phase)
{
    return phase - twoPi * std::floor(phase / twoPi);
}

} // namespace

void Iq::append(const Iq& other)
{
    i.insert(i.end(), other.i.begin(), other.i.end());
    q.insert(q.end(), other.q.begin(), other.q.end());
}

void Iq::add(const Iq& other, std::size_t at)
{
    for (std::size_t k = 0; k < other.size() && at + k < size(); ++k) {
        i[at + k] += other.i[k];
        q[at + k] += other.q[k];
    }
}

std::vector<int> randomBits(std::size_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<int> bits(count);
    for (int& bit : bits)
        bit = static_cast<int>(rng() & 1u);
    return bits;
}

Iq fsk2(const std::vector<int>& bits, double rate, std::size_t samplesPerSymbol, double deviation,
        double centre, double amplitude)
{
    Iq out;
    double phase = 0;
    for (int bit : bits)
        for (std::size_t k = 0; k < samplesPerSymbol; ++k) {
            out.i.push_back(amplitude * std::cos(phase));
            out.q.push_back(amplitude * std::sin(phase));
            phase = wrapped(phase + twoPi * (centre + (bit ? deviation : -deviation)) / rate);
        }
    return out;
}

Iq bpsk(const std::vector<int>& bits, double rate, std::size_t samplesPerSymbol, double centre,
        double amplitude, double phase0)
{
    Iq out;
    std::size_t n = 0;
    for (int bit : bits)
        for (std::size_t k = 0; k < samplesPerSymbol; ++k, ++n) {
            const double phase = wrapped(phase0 + twoPi * centre * static_cast<double>(n) / rate)
                                 + (bit ? 0.0 : std::numbers::pi);
            out.i.push_back(amplitude * std::cos(phase));
            out.q.push_back(amplitude * std::sin(phase));
        }
    return out;
}

Iq steppedTone(const std::vector<double>& levelsDb, std::size_t samplesPerStep, double rate,
               double frequency, double fullScale)
{
    Iq out;
    std::size_t n = 0;
    for (double level : levelsDb) {
        const double amplitude = fullScale * std::pow(10.0, level / 20.0);
        for (std::size_t k = 0; k < samplesPerStep; ++k, ++n) {
            const double phase = twoPi * frequency * static_cast<double>(n) / rate;
            out.i.push_back(amplitude * std::cos(phase));
            out.q.push_back(amplitude * std::sin(phase));
        }
    }
    return out;
}

Iq fmTone(std::size_t count, double rate, double centre, double modulation, double deviation,
          double amplitude)
{
    Iq out;
    for (std::size_t n = 0; n < count; ++n) {
        const double t = static_cast<double>(n) / rate;
        // The integral of 2 pi (centre + deviation sin(2 pi fm t)).
        const double phase = wrapped(twoPi * centre * t)
                             + deviation / modulation * (1.0 - std::cos(twoPi * modulation * t));
        out.i.push_back(amplitude * std::cos(phase));
        out.q.push_back(amplitude * std::sin(phase));
    }
    return out;
}

Iq amTone(std::size_t count, double rate, double centre, double modulation, double depth,
          double amplitude)
{
    Iq out;
    for (std::size_t n = 0; n < count; ++n) {
        const double t = static_cast<double>(n) / rate;
        const double envelope = amplitude * (1.0 + depth * std::sin(twoPi * modulation * t));
        const double phase = wrapped(twoPi * centre * t);
        out.i.push_back(envelope * std::cos(phase));
        out.q.push_back(envelope * std::sin(phase));
    }
    return out;
}

Iq noise(std::size_t count, double power, uint32_t seed)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, std::sqrt(power / 2));
    Iq out;
    out.i.resize(count);
    out.q.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        out.i[k] = normal(rng);
        out.q[k] = normal(rng);
    }
    return out;
}

Iq silence(std::size_t count)
{
    Iq out;
    out.i.assign(count, 0.0);
    out.q.assign(count, 0.0);
    return out;
}

} // namespace testsignals
