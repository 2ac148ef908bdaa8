// Recording loads (open, then one sequential read of every sample through the
// source, block by block) against the yardstick of a plain read() of the whole
// file plus one pass converting it to doubles, on the same files in the page cache.

#include "io/Recording.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t benchSamples = 10000000;

// The benchmark files, written once per run and removed at exit.
class BenchFiles
{
public:
    BenchFiles()
    {
        dir = std::filesystem::temp_directory_path()
              / ("norvale-iobench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::mt19937 generator(7);
        std::vector<float> singles(2 * benchSamples);
        std::normal_distribution<float> normal(0.0f, 1000.0f);
        for (float& value : singles)
            value = normal(generator);
        std::vector<int16_t> shorts(2 * benchSamples);
        for (std::size_t k = 0; k < shorts.size(); ++k)
            shorts[k] = static_cast<int16_t>(singles[k]);
        write(cf32(), nullptr, 0, singles.data(), singles.size() * sizeof(float));
        write(ci16(), nullptr, 0, shorts.data(), shorts.size() * sizeof(int16_t));
        const unsigned char header[44] = {
            'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
            16, 0, 0, 0, 3, 0, 2, 0, 0x80, 0xBB, 0, 0, 0, 0xDC, 5, 0, 8, 0, 32, 0,
            'd', 'a', 't', 'a', 0, 0, 0, 0};
        unsigned char wavHeader[44];
        std::memcpy(wavHeader, header, sizeof(header));
        const auto dataSize = static_cast<uint32_t>(singles.size() * sizeof(float));
        std::memcpy(wavHeader + 40, &dataSize, 4);
        write(wav(), wavHeader, sizeof(wavHeader), singles.data(), dataSize);
    }
    ~BenchFiles()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string cf32() const { return (dir / "bench.cf32").string(); }
    std::string ci16() const { return (dir / "bench.ci16").string(); }
    std::string wav() const { return (dir / "bench.wav").string(); }

private:
    static void write(const std::string& path, const void* header, std::size_t headerSize,
                      const void* data, std::size_t size)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(static_cast<const char*>(header), static_cast<std::streamsize>(headerSize));
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    std::filesystem::path dir;
};

const BenchFiles& files()
{
    static const BenchFiles instance;
    return instance;
}

// The yardstick: one read() of the whole file, then one conversion pass.
template <typename T>
void plainReadAndConvert(benchmark::State& state, const std::string& path, std::size_t offset)
{
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
        ::lseek(fd, 0, SEEK_SET);
        auto bytes = std::make_unique_for_overwrite<unsigned char[]>(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(fd, bytes.get() + done, size - done);
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        ::close(fd);
        const std::size_t count = (size - offset) / (2 * sizeof(T));
        std::vector<double> i(count), q(count);
        const unsigned char* data = bytes.get() + offset;
        for (std::size_t k = 0; k < count; ++k) {
            T pair[2];
            std::memcpy(pair, data + k * sizeof(pair), sizeof(pair));
            i[k] = static_cast<double>(pair[0]);
            q[k] = static_cast<double>(pair[1]);
        }
        benchmark::DoNotOptimize(i.data());
        benchmark::DoNotOptimize(q.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(std::filesystem::file_size(path)));
}

// Reads every sample of the recording once, in blocks as the views do.
double readThrough(const Recording& recording)
{
    constexpr std::size_t block = 65536;
    std::vector<double> i(block), q(block);
    const auto source = recording.samples();
    double sum = 0;
    for (uint64_t first = 0; first < source->size(); first += block) {
        const auto count = static_cast<std::size_t>(std::min<uint64_t>(block, source->size() - first));
        source->read(first, count, i.data(), q.data());
        sum += i[count - 1] + q[0];
    }
    return sum;
}

void BM_PlainReadCf32(benchmark::State& state)
{
    plainReadAndConvert<float>(state, files().cf32(), 0);
}

// The streaming yardstick of the on-demand reads: read() of the same 64 Ki-sample
// blocks into one reused buffer, each converted into reused I and Q blocks.
void BM_PlainBlockReadCf32(benchmark::State& state)
{
    constexpr std::size_t block = 65536;
    const std::string path = files().cf32();
    std::vector<float> bytes(2 * block);
    std::vector<double> i(block), q(block);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        double sum = 0;
        for (;;) {
            const ssize_t got = ::read(fd, bytes.data(), bytes.size() * sizeof(float));
            if (got <= 0)
                break;
            const auto count = static_cast<std::size_t>(got) / (2 * sizeof(float));
            for (std::size_t k = 0; k < count; ++k) {
                i[k] = static_cast<double>(bytes[2 * k]);
                q[k] = static_cast<double>(bytes[2 * k + 1]);
            }
            sum += i[count - 1] + q[0];
        }
        ::close(fd);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(std::filesystem::file_size(path)));
}

void BM_LoadBinaryCf32(benchmark::State& state)
{
    const std::string path = files().cf32();
    for (auto _ : state) {
        Recording recording;
        recording.loadBinary(path, "cf32_le", 1e6);
        benchmark::DoNotOptimize(readThrough(recording));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(std::filesystem::file_size(path)));
}

void BM_PlainReadCi16(benchmark::State& state)
{
    plainReadAndConvert<int16_t>(state, files().ci16(), 0);
}

void BM_LoadBinaryCi16(benchmark::State& state)
{
    const std::string path = files().ci16();
    for (auto _ : state) {
        Recording recording;
        recording.loadBinary(path, "ci16_le", 1e6);
        benchmark::DoNotOptimize(readThrough(recording));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(std::filesystem::file_size(path)));
}

void BM_PlainReadWav(benchmark::State& state)
{
    plainReadAndConvert<float>(state, files().wav(), 44);
}

void BM_LoadWav(benchmark::State& state)
{
    const std::string path = files().wav();
    for (auto _ : state) {
        Recording recording;
        recording.loadWav(path);
        benchmark::DoNotOptimize(readThrough(recording));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(std::filesystem::file_size(path)));
}

} // namespace

BENCHMARK(BM_PlainReadCf32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainBlockReadCf32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBinaryCf32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadCi16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBinaryCi16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadWav)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWav)->Unit(benchmark::kMillisecond);
