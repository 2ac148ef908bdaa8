// A keyed burst through the band reading and the symbol recovery.

#include "tests/signals/SymbolTrial.h"

#include "analysis/BandSamples.h"
#include "analysis/SymbolRecovery.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace testsignals {

namespace {

constexpr double rate = 1e6;

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
    default:
        return Modulation::Qpsk;
    }
}

} // namespace

SymbolTrialResult runSymbolTrial(const SymbolTrialPlan& t)
{
    Keyed shape;
    shape.keying = t.keying;
    shape.rate = rate;
    shape.symbolRate = rate / t.samplesPerSymbol;
    shape.symbols = t.symbols;
    shape.clockPpm = t.clockPpm;
    shape.esN0Db = t.esN0Db;
    shape.seed = t.seed;
    const bool fsk = t.keying == Keying::Fsk2 || t.keying == Keying::Fsk4;
    // Tones one symbol rate apart; a small offset and a phase from the seed.
    shape.deviation = fsk ? shape.symbolRate / 2 : 0.0;
    shape.offset = shape.symbolRate * 0.01 * static_cast<double>(t.seed % 7);
    shape.phase0 = 0.37 * static_cast<double>(t.seed);
    shape.lead = static_cast<std::size_t>(20 * t.samplesPerSymbol) + t.seed % 13;
    shape.tail = static_cast<std::size_t>(20 * t.samplesPerSymbol);
    const KeyedSignal signal = keyed(shape);

    // The band: the signal's occupied width and half a symbol rate either side.
    const int M = keyingLevels(t.keying);
    const double halfWidth = fsk ? (M - 1) * shape.deviation + shape.symbolRate : shape.symbolRate;
    BandSamplesRequest request;
    request.sampleRate = rate;
    request.low = std::max(-rate / 2, shape.offset - halfWidth);
    request.high = std::min(rate / 2, shape.offset + halfWidth);
    request.first = 0;
    request.end = signal.iq.size();
    const auto source = memorySamples(signal.iq.i, signal.iq.q);
    WorkControl control;
    const BandSamples band = readBandSamples(*source, request, {}, control);

    SymbolTrialResult result;
    SymbolChoice choice;
    if (t.given) {
        choice.symbolRateHz = shape.symbolRate * (1 + t.rateError);
        choice.modulation = modulationOf(t.keying);
    }
    const ResolvedSymbolSettings resolved = resolveSymbolSettings(band, choice);
    if (!resolved.settings) {
        result.unresolved = true;
        return result;
    }
    try {
        const RecoveredSymbols symbols = recoverSymbols(band, *resolved.settings, control);
        const bool psk = t.keying == Keying::Bpsk || t.keying == Keying::Qpsk;
        result.score = scoreSymbols(signal, t.keying, symbols.timesS, symbols.symbols, psk);
    } catch (const std::exception& error) {
        result.failure = error.what();
    }
    return result;
}

} // namespace testsignals
