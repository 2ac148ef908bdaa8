// Export of a 10^8-sample cf32 recording (800 MB, page cache), whole band and
// one band, against cp of the same bytes (with and without flushing them to the
// disk, which the export does) and against the SHA-512 that the whole-band
// export must compute; band extraction on one core against liquid-dsp's
// mixer and polyphase decimator with the same taps; the filters' measured ripple
// and stopband attenuation.

#include "dsp/BandExtractor.h"
#include "dsp/KaiserLowPass.h"
#include "export/ExportSelection.h"
#include "export/Sha512.h"
#include "io/Recording.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#ifdef NORVALE_HAVE_LIQUID
#include <liquid/liquid.h>
#endif

namespace {

constexpr uint64_t recordingSamples = 100000000;
constexpr double recordingRate = 1e6;
constexpr std::size_t memorySamples = 10000000;
// Bands of the benchmarks in hertz at 1 MHz: decimation by 8 and by 100.
constexpr double wideBand = 50e3;
constexpr double narrowLow = 2e3, narrowHigh = 10e3;

// The recording, written once per run and removed at exit.
class BenchRecording
{
public:
    BenchRecording()
    {
        dir = std::filesystem::temp_directory_path() / ("norvale-exportbench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream out(source(), std::ios::binary);
        std::vector<float> block(2 * 1000000);
        uint32_t state = 12345;
        for (uint64_t k = 0; k < recordingSamples; k += block.size() / 2) {
            for (float& value : block) {
                state = state * 1664525u + 1013904223u;
                value = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
            }
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 4));
        }
        out.close();
        recording.loadBinary(source(), "cf32_le", recordingRate);
    }
    ~BenchRecording()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string source() const { return (dir / "source.cf32").string(); }
    std::string output(const std::string& name) const { return (dir / name).string(); }
    ExportSource exportSource() const
    {
        return {recording.samples(), recording.sampleRate(), recording.info(), {source()}};
    }
    void clean() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path() != source())
                std::filesystem::remove(entry.path());
    }

private:
    std::filesystem::path dir;
    Recording recording;
};

const BenchRecording& bench()
{
    static const BenchRecording instance;
    return instance;
}

void setRecordingBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * recordingSamples * 8));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * recordingSamples));
}

void BM_Cp(benchmark::State& state)
{
    const bool flush = state.range(0) != 0;
    const std::string command = "cp " + bench().source() + " " + bench().output("copy.cf32");
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
        if (flush) {
            const int fd = ::open(bench().output("copy.cf32").c_str(), O_WRONLY);
            ::fsync(fd);
            ::close(fd);
        }
        state.PauseTiming();
        bench().clean();
        state.ResumeTiming();
    }
    setRecordingBytes(state);
}

// What the whole-band export cannot go below: the SHA-512 of the bytes, ours
// (read in blocks and hashed on one core), and coreutils' after a cp.
void BM_Sha512(benchmark::State& state)
{
    std::vector<char> block(8 << 20);
    for (auto _ : state) {
        std::ifstream in(bench().source(), std::ios::binary);
        Sha512 digest;
        while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
            digest.update(block.data(), static_cast<std::size_t>(in.gcount()));
        benchmark::DoNotOptimize(digest.hexDigest());
    }
    setRecordingBytes(state);
}

void BM_CpAndSha512sum(benchmark::State& state)
{
    const std::string command = "cp " + bench().source() + " " + bench().output("copy.cf32") + " && sha512sum "
                                + bench().output("copy.cf32") + " > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp or sha512sum failed");
        state.PauseTiming();
        bench().clean();
        state.ResumeTiming();
    }
    setRecordingBytes(state);
}

void exportRecording(benchmark::State& state, std::optional<ExportBand> band)
{
    const ExportSource source = bench().exportSource();
    for (auto _ : state) {
        WorkControl control;
        exportSelection(source, {bench().output("export.sigmf-meta"), 0, recordingSamples, 0, 100, band}, control);
        state.PauseTiming();
        bench().clean();
        state.ResumeTiming();
    }
    setRecordingBytes(state);
}

void BM_ExportWholeBand(benchmark::State& state)
{
    exportRecording(state, std::nullopt);
}

void BM_ExportBand(benchmark::State& state)
{
    exportRecording(state, state.range(0) == 8 ? ExportBand{-wideBand, wideBand} : ExportBand{narrowLow, narrowHigh});
}

struct MemoryBlock
{
    std::vector<double> i, q;
    std::vector<std::complex<float>> singles;
    MemoryBlock() : i(memorySamples), q(memorySamples), singles(memorySamples)
    {
        for (std::size_t k = 0; k < memorySamples; ++k) {
            i[k] = std::cos(0.1 * double(k)) + 0.01 * double(k % 7);
            q[k] = std::sin(0.1 * double(k)) - 0.01 * double(k % 5);
            singles[k] = {static_cast<float>(i[k]), static_cast<float>(q[k])};
        }
    }
};

const MemoryBlock& memory()
{
    static const MemoryBlock instance;
    return instance;
}

BandExtractor extractorFor(int64_t decimation)
{
    return decimation == 8 ? BandExtractor(recordingRate, -wideBand, wideBand)
                           : BandExtractor(recordingRate, narrowLow, narrowHigh);
}

// One core: blocks of a million samples through BandExtractor.
void BM_BandExtractor(benchmark::State& state)
{
    BandExtractor band = extractorFor(state.range(0));
    std::vector<std::complex<double>> out;
    constexpr std::size_t block = 1 << 20;
    for (auto _ : state) {
        for (std::size_t k = 0; k < memorySamples; k += block) {
            const std::size_t n = std::min(block, memorySamples - k);
            band.process(k, n, memory().i.data() + k, memory().q.data() + k, out);
            out.clear();
        }
        band.flush(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["taps"] = static_cast<double>(band.taps().size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * memorySamples));
}

#ifdef NORVALE_HAVE_LIQUID
// The yardstick: liquid-dsp's table oscillator mixing down (second argument 1)
// and firdecim_crcf with the same taps in single precision, block by block.
void BM_LiquidMixAndDecimate(benchmark::State& state)
{
    const BandExtractor band = extractorFor(state.range(0));
    const bool mix = state.range(1) != 0;
    std::vector<float> taps(band.taps().begin(), band.taps().end());
    const unsigned decimation = band.decimation();
    firdecim_crcf decimator = firdecim_crcf_create(decimation, taps.data(), static_cast<unsigned>(taps.size()));
    nco_crcf oscillator = nco_crcf_create(LIQUID_NCO);
    nco_crcf_set_frequency(oscillator, static_cast<float>(2 * std::numbers::pi * band.mixFrequency() / recordingRate));
    constexpr std::size_t block = (1 << 20) / 800 * 800;
    std::vector<std::complex<float>> input(memory().singles.begin(), memory().singles.end());
    std::vector<std::complex<float>> mixed(block), out(block / decimation);
    for (auto _ : state) {
        for (std::size_t k = 0; k + block <= memorySamples; k += block) {
            std::complex<float>* in = input.data() + k;
            if (mix)
                nco_crcf_mix_block_down(oscillator, in, mixed.data(), block);
            firdecim_crcf_execute_block(decimator, mix ? mixed.data() : in, block / decimation, out.data());
        }
        benchmark::DoNotOptimize(out.data());
    }
    firdecim_crcf_destroy(decimator);
    nco_crcf_destroy(oscillator);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * (memorySamples / block * block)));
}
BENCHMARK(BM_LiquidMixAndDecimate)->ArgsProduct({{8, 100}, {0, 1}})->Unit(benchmark::kMillisecond);
#endif

// Not a timing: the designed filters' worst passband ripple over the band and
// least attenuation beyond the output's Nyquist frequency, swept finely.
void BM_FilterResponse(benchmark::State& state)
{
    const BandExtractor band = extractorFor(state.range(0));
    const double width = state.range(0) == 8 ? 2 * wideBand : narrowHigh - narrowLow;
    const double pass = width / 2 / recordingRate;
    const double stop = 0.5 / band.decimation();
    double low = 1e9, high = 0, leak = 0;
    for (auto _ : state) {
        constexpr int points = 20000;
        for (int k = 0; k <= points; ++k) {
            const double gain = symmetricFirMagnitude(band.taps(), pass * k / points);
            low = std::min(low, gain);
            high = std::max(high, gain);
            leak = std::max(leak, symmetricFirMagnitude(band.taps(), stop + (0.5 - stop) * k / points));
        }
    }
    state.counters["ripple_dB"] = 20 * std::log10(high / low);
    state.counters["stopband_dB"] = -20 * std::log10(leak);
    state.counters["taps"] = static_cast<double>(band.taps().size());
}

} // namespace

BENCHMARK(BM_Cp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Sha512)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_CpAndSha512sum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ExportWholeBand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ExportBand)->Arg(8)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_BandExtractor)->Arg(8)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterResponse)->Arg(8)->Arg(100)->Iterations(1);
