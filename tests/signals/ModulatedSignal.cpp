// Keyed signals with known symbols.

#include "tests/signals/ModulatedSignal.h"

#include <cmath>
#include <complex>
#include <random>

namespace testsignals {

namespace {

constexpr double pi = 3.14159265358979323846;
// Pulses reach this many symbols either side of their centre.
constexpr int pulseSpan = 8;

// Root-raised-cosine pulse at x symbols from its centre, unscaled.
double rootRaisedCosineRaw(double x, double beta)
{
    if (std::abs(x) < 1e-12)
        return 1.0 - beta + 4.0 * beta / pi;
    if (beta > 0 && std::abs(std::abs(x) - 1.0 / (4.0 * beta)) < 1e-9)
        return beta / std::sqrt(2.0) *
               ((1 + 2 / pi) * std::sin(pi / (4 * beta)) + (1 - 2 / pi) * std::cos(pi / (4 * beta)));
    const double num = std::sin(pi * x * (1 - beta)) + 4 * beta * x * std::cos(pi * x * (1 + beta));
    const double den = pi * x * (1 - (4 * beta * x) * (4 * beta * x));
    return num / den;
}

// The same scaled to 1 at its centre.
double rootRaisedCosine(double x, double beta)
{
    return rootRaisedCosineRaw(x, beta) / rootRaisedCosineRaw(0.0, beta);
}

// Raised-cosine pulse at x symbols: 1 at 0, 0 at every other whole x.
double raisedCosine(double x, double beta)
{
    if (std::abs(x) < 1e-12)
        return 1.0;
    const double sinc = std::sin(pi * x) / (pi * x);
    const double d = 2 * beta * x;
    if (std::abs(1 - d * d) < 1e-9)
        return pi / 4 * sinc;
    return sinc * std::cos(pi * beta * x) / (1 - d * d);
}

// The complex symbol of a linear keying.
std::complex<double> point(Keying keying, int s)
{
    switch (keying) {
    case Keying::Ook:
        return s;
    case Keying::Ask:
        return (s + 1) / 4.0;
    case Keying::Bpsk:
        return s == 0 ? 1.0 : -1.0;
    default:
        return std::polar(1.0, pi / 4 + pi / 2 * s);
    }
}

} // namespace

int keyingLevels(Keying keying)
{
    return keying == Keying::Ook || keying == Keying::Fsk2 || keying == Keying::Bpsk ? 2 : 4;
}

KeyedSignal keyed(const Keyed& shape)
{
    KeyedSignal out;
    const int levels = keyingLevels(shape.keying);
    std::mt19937 random(shape.seed);
    std::uniform_int_distribution<int> pick(0, levels - 1);
    out.symbols.resize(shape.symbols);
    for (int& s : out.symbols)
        s = pick(random);
    const double T = (1.0 + shape.clockPpm * 1e-6) / shape.symbolRate;
    out.symbolPeriod = T;
    const double t0 = static_cast<double>(shape.lead) / shape.rate + T / 2;
    out.firstSymbolTime = t0;
    const double burst = static_cast<double>(shape.symbols) * T;
    const std::size_t burstSamples = static_cast<std::size_t>(std::ceil(burst * shape.rate));
    const std::size_t count = shape.lead + burstSamples + shape.tail;
    out.iq.i.assign(count, 0.0);
    out.iq.q.assign(count, 0.0);
    const bool fsk = shape.keying == Keying::Fsk2 || shape.keying == Keying::Fsk4;
    double phase = shape.phase0;
    double power = 0;
    for (std::size_t n = shape.lead; n < shape.lead + burstSamples; ++n) {
        const double t = static_cast<double>(n) / shape.rate;
        const double u = (t - t0) / T; // symbols from symbol 0's centre
        const auto centre = static_cast<long long>(std::llround(u));
        std::complex<double> baseband = 0;
        double frequency = 0;
        for (long long k = centre - pulseSpan; k <= centre + pulseSpan; ++k) {
            if (k < 0 || k >= static_cast<long long>(shape.symbols))
                continue;
            const int s = out.symbols[static_cast<std::size_t>(k)];
            const double x = u - static_cast<double>(k);
            if (fsk)
                frequency += (2.0 * s - (levels - 1)) * shape.deviation * raisedCosine(x, shape.rolloff);
            else
                baseband += point(shape.keying, s) * rootRaisedCosine(x, shape.rolloff);
        }
        std::complex<double> y;
        if (fsk) {
            y = std::polar(shape.amplitude, phase);
            phase += 2 * pi * frequency / shape.rate;
            phase = std::remainder(phase, 2 * pi);
        } else {
            y = shape.amplitude * baseband * std::polar(1.0, shape.phase0);
        }
        y *= std::polar(1.0, 2 * pi * shape.offset * t);
        out.iq.i[n] = y.real();
        out.iq.q[n] = y.imag();
        power += std::norm(y);
    }
    out.signalPower = burstSamples ? power / static_cast<double>(burstSamples) : 0.0;
    if (std::isfinite(shape.esN0Db)) {
        const double samplesPerSymbol = shape.rate * T;
        out.noisePower = out.signalPower * samplesPerSymbol / std::pow(10.0, shape.esN0Db / 10.0);
        std::normal_distribution<double> gauss(0.0, std::sqrt(out.noisePower / 2));
        std::mt19937 noiseRandom(shape.seed * 2654435761u + 17u);
        for (std::size_t n = 0; n < count; ++n) {
            out.iq.i[n] += gauss(noiseRandom);
            out.iq.q[n] += gauss(noiseRandom);
        }
    }
    return out;
}

} // namespace testsignals
