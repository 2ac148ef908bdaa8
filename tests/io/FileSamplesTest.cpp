// Samples read from the file on demand against the whole-file reader, and what
// happens to a source whose file is shortened or removed after the load.

#include "io/InputFile.h"
#include "io/Recording.h"
#include "io/SampleFormat.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <thread>

namespace {

// Samples read per pass by the file source: reads are checked across these edges.
constexpr std::size_t blockBytes = 64 * 1024;

Bytes randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(generator());
    return bytes;
}

bool sameBits(const double* a, const double* b, std::size_t count)
{
    return count == 0 || std::memcmp(a, b, count * sizeof(double)) == 0;
}

// Every range in ranges read through the source equals the same slice of the
// whole-file reader's sequences, bit for bit.
void expectRangesMatch(const SampleSource& source, const std::vector<double>& i,
                       const std::vector<double>& q,
                       const std::vector<std::pair<uint64_t, std::size_t>>& ranges)
{
    ASSERT_EQ(source.size(), i.size());
    for (const auto& [first, count] : ranges) {
        std::vector<double> gotI(count, -7.0), gotQ(count, -7.0);
        source.read(first, count, gotI.data(), gotQ.data());
        EXPECT_TRUE(sameBits(gotI.data(), i.data() + first, count)) << first << "+" << count;
        EXPECT_TRUE(sameBits(gotQ.data(), q.data() + first, count)) << first << "+" << count;
    }
}

std::vector<std::pair<uint64_t, std::size_t>> rangesAcrossBlocks(uint64_t count, uint64_t perBlock)
{
    return {{0, count},          {0, 1},           {perBlock - 1, 2}, {perBlock, perBlock},
            {perBlock + 3, 5},   {count - 1, 1},   {count - 3, 3},    {count, 0},
            {1, count - 2}};
}

TEST(FileSamples, EveryDatatypeMatchesTheWholeFileReader)
{
    TempDir dir;
    unsigned seed = 500;
    for (const char* shape : {"c", "r"})
        for (const char* value : {"f32", "f64", "i8", "i16", "i32", "i64", "u8", "u16", "u32", "u64"})
            for (const char* order : {"_le", "_be"}) {
                const std::string datatype = std::string(shape) + value + order;
                SCOPED_TRACE(datatype);
                const SampleFormat format = parseSampleFormat(datatype);
                // Two full blocks of the source and an odd tail.
                const uint64_t perBlock = blockBytes / format.sampleSize;
                const uint64_t count = 2 * perBlock + 7;
                const std::string path =
                    dir.write(datatype, randomBytes(count * format.sampleSize, seed++));
                std::vector<double> i, q;
                readBinarySamples(path, datatype, i, q);
                Recording recording;
                recording.loadBinary(path, datatype, 1000.0);
                EXPECT_EQ(recording.info().unsignedSamples, format.kind == 'u');
                expectRangesMatch(*recording.samples(), i, q, rangesAcrossBlocks(count, perBlock));
            }
}

// WAV: 24-bit against its literal definition, the others against the raw reader
// of the matching datatype on the same bytes.
TEST(FileSamples, WavSamplesMatchTheirDatatypes)
{
    TempDir dir;
    const struct
    {
        uint16_t format;
        uint16_t bits;
        const char* datatype;
    } rows[] = {{1, 8, "cu8_le"}, {1, 16, "ci16_le"}, {1, 24, nullptr}, {1, 32, "ci32_le"},
                {3, 32, "cf32_le"}, {3, 64, "cf64_le"}};
    unsigned seed = 900;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        const uint64_t frameBytes = row.bits / 4;
        const uint64_t perBlock = blockBytes / frameBytes;
        const uint64_t count = 2 * perBlock + 3;
        const Bytes data = randomBytes(count * frameBytes, seed++);
        std::vector<double> i(count), q(count);
        if (row.datatype) {
            readBinarySamples(dir.write("raw", data), row.datatype, i, q);
        } else {
            auto value = [&](std::size_t at) {
                const int32_t raw = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16);
                return static_cast<double>(raw >= 0x800000 ? raw - 0x1000000 : raw);
            };
            for (uint64_t k = 0; k < count; ++k) {
                i[k] = value(6 * k);
                q[k] = value(6 * k + 3);
            }
        }
        Bytes file;
        append(file, "RIFF");
        appendLe(file, 36 + data.size(), 4);
        append(file, "WAVEfmt ");
        appendLe(file, 16, 4);
        appendLe(file, row.format, 2);
        appendLe(file, 2, 2);
        appendLe(file, 8000, 4);
        appendLe(file, 8000 * frameBytes, 4);
        appendLe(file, frameBytes, 2);
        appendLe(file, row.bits, 2);
        append(file, "data");
        appendLe(file, data.size(), 4);
        file.insert(file.end(), data.begin(), data.end());
        Recording recording;
        recording.loadWav(dir.write("samples.wav", file));
        expectRangesMatch(*recording.samples(), i, q, rangesAcrossBlocks(count, perBlock));
    }
}

TEST(FileSamples, ConcurrentReadsShareNothing)
{
    TempDir dir;
    const uint64_t count = 300000;
    const std::string path = dir.write("many.ci16", randomBytes(count * 4, 3));
    std::vector<double> i, q;
    readBinarySamples(path, "ci16_le", i, q);
    Recording recording;
    recording.loadBinary(path, "ci16_le", 1000.0);
    const auto source = recording.samples();
    std::vector<std::thread> threads;
    std::vector<int> matches(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::vector<double> gotI(count), gotQ(count);
            for (int pass = 0; pass < 5; ++pass) {
                source->read(0, count, gotI.data(), gotQ.data());
                matches[t] += gotI == i && gotQ == q;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(matches, std::vector<int>(4, 5));
}

// After the load the file is shortened, or removed: a shortened file gives a
// message on the next read (no crash, no made-up values); a removed one reads on.
TEST(FileSamples, FileChangedAfterLoading)
{
    TempDir dir;
    const Bytes bytes = randomBytes(200000 * 8, 11);
    std::vector<double> i, q;
    readBinarySamples(dir.write("reference", bytes), "cf32_le", i, q);
    const std::string shortened = "Cannot read " + quotedPath(dir.path("changing.cf32"))
                                  + ": it is shorter than when it was opened (200000 samples expected)";
    const struct
    {
        const char* name;
        std::function<void(const std::string&)> change;
        std::string message;
    } rows[] = {
        {"truncated", [](const std::string& p) { std::filesystem::resize_file(p, 100000 * 8 + 3); },
         shortened},
        {"removed", [](const std::string& p) { std::filesystem::remove(p); }, "<no exception>"},
        {"renamed", [](const std::string& p) { std::filesystem::rename(p, p + ".moved"); },
         "<no exception>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.write("changing.cf32", bytes);
        Recording recording;
        recording.loadBinary(path, "cf32_le", 1000.0);
        row.change(path);
        std::vector<double> gotI(i.size()), gotQ(i.size());
        EXPECT_EQ(thrownMessage([&] { recording.samples()->read(0, i.size(), gotI.data(), gotQ.data()); }),
                  row.message);
        if (row.message == "<no exception>") {
            EXPECT_TRUE(sameBits(gotI.data(), i.data(), i.size()));
            EXPECT_TRUE(sameBits(gotQ.data(), q.data(), q.size()));
        }
        // Samples before the cut still read.
        recording.samples()->read(10, 2, gotI.data(), gotQ.data());
        EXPECT_TRUE(sameBits(gotI.data(), i.data() + 10, 2));
    }
}

std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(FileSamples, FileClosedWhenTheLastHolderLetsGo)
{
    TempDir dir;
    const std::string path = dir.write("samples.cu8", {1, 2, 3, 4});
    const std::size_t before = openDescriptors();
    std::shared_ptr<const SampleSource> kept;
    {
        Recording recording;
        recording.loadBinary(path, "cu8_le", 1000.0);
        EXPECT_EQ(openDescriptors(), before + 1);
        kept = recording.samples();
        recording.loadBinary(path, "cu8_le", 1000.0);
        EXPECT_EQ(openDescriptors(), before + 2);
    }
    EXPECT_EQ(openDescriptors(), before + 1);
    kept.reset();
    EXPECT_EQ(openDescriptors(), before);
}

} // namespace
