// The symbol recovery's speed and accuracy.
//   Speed: 10^6 band samples of a keyed burst (OOK, 2FSK, 4FSK, BPSK, QPSK at
//   10 samples a symbol of the recording, 200 ppm, Es/N0 12 dB) to symbols,
//   on one core, against reading the same band from the recording's samples
//   (the band export's arithmetic, into memory) in the same run.
//   Accuracy: symbol error rate, slips and count errors over trials of
//   1,000-symbol bursts by modulation, samples per symbol and Es/N0, with the
//   rate and modulation given and (once the estimate gives them) estimated.
//   scripts/bench --benchmark_filter=Symbol

#include "analysis/BandSamples.h"
#include "analysis/SymbolRecovery.h"
#include "dsp/BandExtractor.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"
#include "tests/signals/SymbolTrial.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

using namespace testsignals;

constexpr double rate = 1e6;
constexpr double samplesPerSymbol = 10;

const char* nameOf(Keying keying)
{
    static const char* names[] = {"OOK", "ASK", "2FSK", "4FSK", "BPSK", "QPSK"};
    return names[static_cast<int>(keying)];
}

Modulation modulationOf(Keying keying)
{
    static const Modulation m[] = {Modulation::Ook,  Modulation::Ask,  Modulation::Fsk2,
                                   Modulation::Fsk4, Modulation::Bpsk, Modulation::Qpsk};
    return m[static_cast<int>(keying)];
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void BM_SymbolsOfAMillionBandSamples(benchmark::State& state)
{
    const auto keying = static_cast<Keying>(state.range(0));
    const bool fsk = keying == Keying::Fsk2 || keying == Keying::Fsk4;
    Keyed shape;
    shape.keying = keying;
    shape.rate = rate;
    shape.symbolRate = rate / samplesPerSymbol;
    shape.deviation = fsk ? shape.symbolRate / 2 : 0.0;
    shape.clockPpm = 200;
    shape.esN0Db = 12;
    shape.seed = 3;
    const double halfWidth = fsk ? (keyingLevels(keying) - 1) * shape.deviation + shape.symbolRate : shape.symbolRate;
    BandSamplesRequest request;
    request.sampleRate = rate;
    request.low = -halfWidth;
    request.high = halfWidth;
    // Enough symbols for 10^6 outputs of the band.
    const uint32_t D = BandExtractor(rate, request.low, request.high).decimation();
    const std::size_t inputs = std::size_t(1000000) * D;
    // Noise for a hundredth of the range either side: the squelch's floor.
    shape.lead = inputs / 100;
    shape.tail = inputs / 100;
    shape.symbols = static_cast<std::size_t>(static_cast<double>(inputs - shape.lead - shape.tail) / samplesPerSymbol);
    const KeyedSignal signal = keyed(shape);
    const auto source = memorySamples(signal.iq.i, signal.iq.q);
    request.end = signal.iq.size();
    request.maxOutputs = std::size_t(1) << 22;
    SymbolSettings settings;
    settings.symbolRateHz = shape.symbolRate;
    settings.modulation = modulationOf(keying);
    settings.levels = keyingLevels(keying);
    double symbolsMs = 1e30, bandMs = 1e30;
    SymbolScore score;
    std::size_t outputs = 0;
    for (auto _ : state) {
        WorkControl control;
        auto start = std::chrono::steady_clock::now();
        const BandSamples band = readBandSamples(*source, request, {}, control);
        bandMs = std::min(bandMs, millisecondsSince(start));
        outputs = band.y.size();
        start = std::chrono::steady_clock::now();
        const RecoveredSymbols symbols = recoverSymbols(band, settings, control);
        symbolsMs = std::min(symbolsMs, millisecondsSince(start));
        state.SetIterationTime(symbolsMs / 1e3);
        const bool psk = keying == Keying::Bpsk || keying == Keying::Qpsk;
        score = scoreSymbols(signal, keying, symbols.timesS, symbols.symbols, psk);
    }
    state.counters["band_samples"] = static_cast<double>(outputs);
    state.counters["symbols_ms"] = symbolsMs;
    state.counters["band_read_ms"] = bandMs;
    state.counters["ratio"] = symbolsMs / bandMs;
    std::fprintf(stderr,
                 "%-4s %zu band samples (D %u), %zu symbols: symbols %.1f ms, band read %.1f ms, ratio %.2f; "
                 "SER %.1e, %zu slips, count %+lld\n",
                 nameOf(keying), outputs, D, shape.symbols, symbolsMs, bandMs, symbolsMs / bandMs,
                 score.errorRate(), score.slips, score.countError);
}

// Rows: modulation, samples per symbol, Es/N0; trials of 1,000 symbols each
// with clocks alternately 200 ppm fast and slow.
void BM_SymbolAccuracyTable(benchmark::State& state)
{
    const int trials = static_cast<int>(state.range(0));
    const Keying keyings[] = {Keying::Ook, Keying::Fsk2, Keying::Fsk4, Keying::Bpsk, Keying::Qpsk};
    const double spsList[] = {3.3, 4.7, 7.9, 12.6, 19.3, 31.1};
    const double esN0List[] = {8, 10, 12, 14};
    for (auto _ : state) {
        std::fprintf(stderr, "%-5s %5s %5s | %-32s | %-32s\n", "", "sps", "EsN0", "given: SER  slips  |count|>2",
                     "estimated: SER  slips  |count|>2");
        for (Keying keying : keyings)
            for (double sps : spsList) {
                if (keying == Keying::Fsk4 && sps < 6)
                    continue; // its outer tones would leave the recording's band
                for (double esN0 : esN0List) {
                    std::fprintf(stderr, "%-5s %5.1f %5.0f", nameOf(keying), sps, esN0);
                    for (bool given : {true, false}) {
                        std::size_t errors = 0, compared = 0, slips = 0, counts = 0, failed = 0, open = 0;
                        for (int t = 0; t < trials; ++t) {
                            SymbolTrialPlan shape;
                            shape.keying = keying;
                            shape.samplesPerSymbol = sps;
                            shape.clockPpm = t % 2 ? -200 : 200;
                            shape.esN0Db = esN0;
                            shape.seed = static_cast<uint32_t>(1000 + t);
                            shape.given = given;
                            const SymbolTrialResult r = runSymbolTrial(shape);
                            open += r.unresolved;
                            failed += !r.failure.empty();
                            errors += r.score.errors;
                            compared += r.score.compared;
                            slips += r.score.slips;
                            counts += std::abs(r.score.countError) > 2;
                        }
                        if (open == static_cast<std::size_t>(trials))
                            std::fprintf(stderr, " | %-32s", "no estimate");
                        else
                            std::fprintf(stderr, " | %8.1e %5zu %5zu fail %zu", compared ? double(errors) / double(compared) : 1.0,
                                         slips, counts, failed + open);
                    }
                    std::fprintf(stderr, "\n");
                }
            }
    }
}

} // namespace

BENCHMARK(BM_SymbolsOfAMillionBandSamples)
    ->ArgName("keying")
    ->Arg(0)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Arg(5)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SymbolAccuracyTable)->ArgName("trials")->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);
