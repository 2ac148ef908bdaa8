// Trials of the signal estimate.

#include "tests/signals/EstimateTrials.h"

#include "analysis/SignalEstimate.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>

namespace testsignals {

namespace {

std::vector<std::complex<double>> complexOf(const Iq& x)
{
    std::vector<std::complex<double>> y(x.size());
    for (std::size_t k = 0; k < x.size(); ++k)
        y[k] = {x.i[k], x.q[k]};
    return y;
}

bool near(double value, double want, double relative)
{
    return std::abs(value - want) <= relative * want;
}

} // namespace

Modulation modulationOf(Keying keying)
{
    switch (keying) {
    case Keying::Ook:
        return Modulation::Ook;
    case Keying::Ask:
        return Modulation::Ask;
    case Keying::Fsk2:
        return Modulation::Fsk2;
    case Keying::Fsk4:
        return Modulation::Fsk4;
    case Keying::Bpsk:
        return Modulation::Bpsk;
    case Keying::Qpsk:
        return Modulation::Qpsk;
    }
    return Modulation::Unknown;
}

EstimateTally runEstimateTrials(const EstimateCondition& c)
{
    EstimateTally tally;
    std::mt19937 random(c.seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int t = 0; t < c.trials; ++t) {
        const uint32_t seed = c.seed * 7919u + static_cast<uint32_t>(t);
        const double ppm = c.maxPpm * unit(random);
        const double offsetPerRate = c.maxOffsetPerRate * unit(random);
        const double phase = 3.14159265358979323846 * unit(random);
        ++tally.trials;
        if (c.signal != TrialSignal::Keyed) {
            Iq x = noise(c.samples, 1.0, seed);
            if (c.signal == TrialSignal::Carrier)
                x.add(fmTone(c.samples, c.rate, offsetPerRate * c.rate / 4, 1, 0,
                             std::sqrt(std::pow(10.0, c.carrierSnrDb / 10))));
            const SignalEstimate e = estimateSignal(complexOf(x), c.rate, 0, c.rate);
            tally.rates += e.symbolRateHz.has_value();
            const Modulation want = c.signal == TrialSignal::Noise ? Modulation::Noise : Modulation::Cw;
            tally.modulationRight += e.modulation == want;
            continue;
        }
        Keyed shape;
        shape.keying = c.keying;
        shape.rate = c.rate;
        shape.symbolRate = c.rate / c.samplesPerSymbol;
        shape.symbols = c.symbols;
        shape.clockPpm = ppm;
        shape.offset = offsetPerRate * shape.symbolRate;
        shape.deviation = c.deviationPerRate * shape.symbolRate;
        shape.phase0 = phase;
        shape.esN0Db = c.esN0Db;
        shape.lead = static_cast<std::size_t>(10 * c.samplesPerSymbol);
        shape.tail = shape.lead;
        shape.seed = seed;
        const KeyedSignal s = keyed(shape);
        const SignalEstimate e = estimateSignal(complexOf(s.iq), c.rate, 0, c.rate);
        const double trueRate = 1 / s.symbolPeriod;
        if (e.symbolRateHz) {
            ++tally.rates;
            const double r = *e.symbolRateHz;
            tally.within1e3 += near(r, trueRate, 1e-3);
            tally.within1pc += near(r, trueRate, 1e-2);
            bool harmonic = false;
            for (double k : {2.0, 3.0, 0.5, 1.0 / 3})
                harmonic = harmonic || near(r, k * trueRate, 1e-2);
            tally.harmonic += harmonic;
        }
        tally.modulationRight += e.modulation == modulationOf(c.keying);
        if (e.frequencyOffsetHz)
            tally.offsetRight += std::abs(*e.frequencyOffsetHz - shape.offset) <= 5e-3 * trueRate;
        if (e.fskDeviationHz)
            tally.deviationRight += near(*e.fskDeviationHz, shape.deviation, 1e-2);
    }
    return tally;
}

std::string tallyLine(const EstimateCondition& c, const EstimateTally& t)
{
    char line[256];
    std::snprintf(line, sizeof line, "%-34s %6d %6d %6d %6d %6d %6d %6d %6d", c.name, t.trials, t.rates,
                  t.within1e3, t.within1pc, t.harmonic, t.modulationRight, t.offsetRight, t.deviationRight);
    return line;
}

} // namespace testsignals
