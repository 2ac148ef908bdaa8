// The signal estimate: 10^6 band samples (keyed signals from the shared
// generator, in memory) estimated, against the band export of the same samples
// (readBandSamples over a band the extractor keeps at full rate), timed one
// after the other in the same run, in processor time (this machine's two cores
// are shared); and the accuracy table over many trials.
//   scripts/bench --benchmark_filter=Estimate
//   scripts/bench --benchmark_filter=EstimateTable   (the table alone)

#include "analysis/BandSamples.h"
#include "analysis/SignalEstimate.h"
#include "io/SampleSource.h"
#include "tests/signals/EstimateTrials.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using namespace testsignals;

constexpr double rate = 1e6;
constexpr std::size_t bandSamples = 1000000;

// Keying and samples per symbol of each benchmark argument.
struct Case
{
    Keying keying;
    double samplesPerSymbol;
};
constexpr Case cases[] = {{Keying::Bpsk, 8}, {Keying::Fsk2, 10}, {Keying::Qpsk, 2.5}, {Keying::Ook, 100}};

double millisecondsSince(std::clock_t start)
{
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

void BM_Estimate(benchmark::State& state)
{
    const Case c = cases[state.range(0)];
    Keyed shape;
    shape.keying = c.keying;
    shape.rate = rate;
    shape.symbolRate = rate / c.samplesPerSymbol;
    shape.deviation = shape.symbolRate / 2;
    shape.symbols = static_cast<std::size_t>(static_cast<double>(bandSamples) / c.samplesPerSymbol) - 2;
    shape.esN0Db = 15;
    shape.lead = shape.tail = static_cast<std::size_t>(c.samplesPerSymbol);
    const KeyedSignal s = keyed(shape);
    const auto source = memorySamples(s.iq.i, s.iq.q);
    BandSamplesRequest request;
    request.sampleRate = rate;
    // Kept at full rate by the extractor: as many band samples as inputs.
    request.low = -0.4 * rate;
    request.high = 0.4 * rate;
    request.end = s.iq.size();
    double estimateMs = 0, exportMs = 0;
    SignalEstimate e;
    std::size_t samples = 0;
    for (auto _ : state) {
        WorkControl control;
        std::clock_t start = std::clock();
        const BandSamples band = readBandSamples(*source, request, {}, control);
        exportMs = millisecondsSince(start);
        start = std::clock();
        e = estimateSignal(band.y, band.rate, band.centreCorrection, rate);
        estimateMs = millisecondsSince(start);
        samples = band.y.size();
        state.SetIterationTime(estimateMs / 1e3);
    }
    state.counters["bandSamples"] = static_cast<double>(samples);
    state.counters["exportMs"] = exportMs;
    state.counters["estimateMs"] = estimateMs;
    state.counters["ratio"] = estimateMs / exportMs;
    state.counters["relError"] = e.symbolRateHz ? *e.symbolRateHz * s.symbolPeriod - 1 : -1;
    state.SetLabel(modulationName(e.modulation) + " at " + std::to_string(c.samplesPerSymbol) + " sps");
}

EstimateCondition row(const char* name, Keying keying, double samplesPerSymbol, double esN0Db, std::size_t symbols,
                      int trials, uint32_t seed)
{
    EstimateCondition c;
    c.name = name;
    c.keying = keying;
    c.samplesPerSymbol = samplesPerSymbol;
    c.esN0Db = esN0Db;
    c.symbols = symbols;
    c.trials = trials;
    c.seed = seed;
    return c;
}

// The accuracy table: trials, trials with a rate, within 1e-3, within 1 %,
// harmonics, modulation right, offset within 0.5 % of the rate, FSK deviation
// within 1 %.
void BM_EstimateTable(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<EstimateCondition> rows = {
        row("OOK 8.3 sps 10 dB", Keying::Ook, 8.3, 10, 500, n, 101),
        row("ASK 6.1 sps 15 dB", Keying::Ask, 6.1, 15, 500, n, 102),
        row("2FSK 10.7 sps 10 dB", Keying::Fsk2, 10.7, 10, 500, n, 103),
        row("2FSK 20 sps 20 dB", Keying::Fsk2, 20, 20, 500, n, 104),
        row("4FSK 16 sps 20 dB", Keying::Fsk4, 16, 20, 500, n, 105),
        row("4FSK 12.2 sps 10 dB", Keying::Fsk4, 12.2, 10, 500, n, 106),
        row("BPSK 4.6 sps 10 dB", Keying::Bpsk, 4.6, 10, 500, n, 107),
        row("BPSK 2.5 sps 10 dB", Keying::Bpsk, 2.5, 10, 500, n, 108),
        row("BPSK 2 sps 15 dB", Keying::Bpsk, 2, 15, 500, n, 109),
        row("QPSK 5.3 sps 10 dB", Keying::Qpsk, 5.3, 10, 500, n, 110),
        row("QPSK 2 sps 15 dB", Keying::Qpsk, 2, 15, 500, n, 111),
        row("QPSK 31.7 sps 10 dB", Keying::Qpsk, 31.7, 10, 500, n, 112),
        row("OOK 8.3 sps 3 dB 5000 sym", Keying::Ook, 8.3, 3, 5000, n / 4, 113),
        row("2FSK 10.7 sps 3 dB 5000 sym", Keying::Fsk2, 10.7, 3, 5000, n / 4, 114),
        row("BPSK 4.6 sps 3 dB 2000 sym", Keying::Bpsk, 4.6, 3, 2000, n / 2, 115),
        row("QPSK 31.7 sps 3 dB 2000 sym", Keying::Qpsk, 31.7, 3, 2000, n / 4, 116),
        row("BPSK 4.6 sps 3 dB 500 sym", Keying::Bpsk, 4.6, 3, 500, n, 117),
    };
    EstimateCondition narrow = row("2FSK 800 sps 8 MS/s 10 dB", Keying::Fsk2, 800, 10, 500, n / 10, 118);
    narrow.rate = 8e6;
    rows.push_back(narrow);
    EstimateCondition narrowLow = row("2FSK 800 sps 8 MS/s h=0.5 15 dB", Keying::Fsk2, 800, 15, 500, n / 10, 119);
    narrowLow.rate = 8e6;
    narrowLow.deviationPerRate = 0.25;
    rows.push_back(narrowLow);
    EstimateCondition wide4 = row("4FSK 12.2 sps 10 dB dev 1 rate", Keying::Fsk4, 12.2, 10, 500, n, 123);
    wide4.deviationPerRate = 1.0;
    rows.push_back(wide4);
    EstimateCondition wide2 = row("2FSK 10.7 sps 10 dB dev 1.5 rates", Keying::Fsk2, 10.7, 10, 500, n, 124);
    wide2.deviationPerRate = 1.5;
    rows.push_back(wide2);
    EstimateCondition noise;
    noise.name = "noise alone";
    noise.signal = TrialSignal::Noise;
    noise.trials = n * 2;
    noise.seed = 120;
    rows.push_back(noise);
    EstimateCondition carrier = noise;
    carrier.name = "carrier alone 10 dB";
    carrier.signal = TrialSignal::Carrier;
    carrier.seed = 121;
    rows.push_back(carrier);
    EstimateCondition weak = carrier;
    weak.name = "carrier alone -10 dB";
    weak.carrierSnrDb = -10;
    weak.samples = 65536;
    weak.trials = n;
    weak.seed = 122;
    rows.push_back(weak);
    for (auto _ : state) {
        std::printf("%-34s %6s %6s %6s %6s %6s %6s %6s %6s\n", "condition", "trials", "rates", "1e-3", "1%",
                    "harm", "mod", "offset", "dev");
        for (const EstimateCondition& c : rows)
            std::printf("%s\n", tallyLine(c, runEstimateTrials(c)).c_str());
        std::fflush(stdout);
    }
}

} // namespace

BENCHMARK(BM_Estimate)->DenseRange(0, 3)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EstimateTable)->Arg(200)->Iterations(1)->Unit(benchmark::kSecond);
