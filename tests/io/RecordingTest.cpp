// Raw and IQW loads, the sample rate of loadBinary, and the all-or-nothing rule:
// every failing load leaves the previous recording exactly as it was.

#include "io/MemoryCheck.h"
#include "io/Recording.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(LoadBinary, SampleRateIsKeptExactly)
{
    TempDir dir;
    const std::string path = dir.write("samples.cu8", {1, 2});
    for (double rate : {2.5e6, 2400000.5, 1000.9, 1.0, 0.5, 1e-3, 4294967295.9}) {
        Recording recording;
        recording.loadBinary(path, "cu8_le", rate);
        EXPECT_EQ(recording.sampleRate(), rate);
    }
}

TEST(LoadBinary, RatesThatCannotBeStoredAreRefused)
{
    TempDir dir;
    const std::string path = dir.write("samples.cu8", {1, 2});
    const std::string range = " (must be above 0 and below 4294967296 samples per second)";
    const std::pair<double, std::string> rows[] = {
        {0.0, "0"},
        {-2.0, "-2"},
        {4294967296.0, "4294967296"},
        {1e300, "1e+300"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {std::nan(""), "nan"},
    };
    for (const auto& [rate, text] : rows) {
        Recording recording;
        EXPECT_EQ(thrownMessage([&, rate = rate] { recording.loadBinary(path, "cu8_le", rate); }),
                  "Invalid sample rate: " + text + range);
        EXPECT_FALSE(recording.isLoaded());
    }
}

TEST(LoadBinary, IqwFileOfEightyBytes)
{
    TempDir dir;
    Bytes singles;
    for (int k = 0; k < 20; ++k)
        appendFloat(singles, static_cast<float>(k) - 9.5f);
    Recording recording;
    recording.loadBinary(dir.write("capture.iqw", singles), "cf32_le", 96000.0);
    EXPECT_TRUE(recording.isLoaded());
    EXPECT_EQ(recording.sampleRate(), 96000u);
    ASSERT_EQ(recording.sampleCount(), 10u);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(recording.iSamples()[k], 2 * k - 9.5);
        EXPECT_EQ(recording.qSamples()[k], 2 * k - 8.5);
    }
}

struct Snapshot
{
    bool loaded;
    double rate;
    uint32_t count;
    std::vector<double> i, q;
    const double* iData;

    explicit Snapshot(const Recording& r)
        : loaded(r.isLoaded()), rate(r.sampleRate()), count(r.sampleCount()), i(r.iSamples()),
          q(r.qSamples()), iData(r.iSamples().data())
    {
    }
};

void expectUnchanged(const Recording& recording, const Snapshot& before)
{
    EXPECT_EQ(recording.isLoaded(), before.loaded);
    EXPECT_EQ(recording.sampleRate(), before.rate);
    EXPECT_EQ(recording.sampleCount(), before.count);
    EXPECT_EQ(recording.iSamples(), before.i);
    EXPECT_EQ(recording.qSamples(), before.q);
    EXPECT_EQ(recording.iSamples().data(), before.iData);
}

TEST(FailedLoad, LeavesThePreviousRecordingIntact)
{
    TempDir dir;
    Bytes wavShortData;
    append(wavShortData, "RIFF");
    appendLe(wavShortData, 0, 4);
    append(wavShortData, "WAVEfmt ");
    appendLe(wavShortData, 16, 4);
    for (uint64_t field : {3, 2, 8000, 64000})
        appendLe(wavShortData, field, field > 2 ? 4 : 2);
    appendLe(wavShortData, 8, 2);
    appendLe(wavShortData, 32, 2);
    append(wavShortData, "data");
    appendLe(wavShortData, 800, 4);
    wavShortData.resize(wavShortData.size() + 400);
    const std::string wav = dir.write("short.wav", wavShortData);
    Bytes mono = wavShortData;
    mono[22] = 1;
    const std::string monoWav = dir.write("mono.wav", mono);
    const std::string fourBytes = dir.write("four.bin", {1, 2, 3, 4});
    dir.write("norate.sigmf-data", {1, 2});
    const std::string noDatatype =
        dir.writeText("norate.sigmf-meta", "{\"global\": {\"core:sample_rate\": 123}}");
    const std::string badRate = dir.writeText(
        "badrate.sigmf-meta", "{\"global\": {\"core:sample_rate\": -5, \"core:datatype\": \"ru8\"}}");
    const std::string noData = dir.writeText(
        "nodata.sigmf-meta", "{\"global\": {\"core:sample_rate\": 5, \"core:datatype\": \"ru8\"}}");
    const std::string big = dir.write("big.bin", Bytes(4096, 1));

    const std::pair<const char*, std::function<void(Recording&)>> loads[] = {
        {"wav data shorter than declared", [&](Recording& r) { r.loadWav(wav); }},
        {"mono wav", [&](Recording& r) { r.loadWav(monoWav); }},
        {"missing wav", [&](Recording& r) { r.loadWav(dir.path("none.wav")); }},
        {"sigmf without datatype", [&](Recording& r) { r.loadSigmf(noDatatype); }},
        {"sigmf negative rate", [&](Recording& r) { r.loadSigmf(badRate); }},
        {"sigmf without data file", [&](Recording& r) { r.loadSigmf(noData); }},
        {"unsupported value kind", [&](Recording& r) { r.loadBinary(fourBytes, "cf16_le", 10); }},
        {"bad datatype", [&](Recording& r) { r.loadBinary(fourBytes, "ci12_le", 10); }},
        {"rate of zero", [&](Recording& r) { r.loadBinary(fourBytes, "ci8_le", 0.0); }},
        {"missing binary", [&](Recording& r) { r.loadBinary(dir.path("none"), "ci8_le", 10); }},
        // Samples stay in the file: only the views' working share can be too much.
        {"not enough memory", [&](Recording& r) {
             setMeminfoPath(dir.writeText("meminfo", "MemAvailable: 1 kB\n"));
             setWorkingBytesPerSample(100);
             try {
                 r.loadBinary(big, "ru8_le", 10);
             } catch (...) {
                 setMeminfoPath("");
                 setWorkingBytesPerSample(0);
                 throw;
             }
         }},
    };

    for (const auto& [name, load] : loads) {
        SCOPED_TRACE(name);
        Recording empty;
        EXPECT_NE(thrownMessage([&, &load = load] { load(empty); }), "<no exception>");
        expectUnchanged(empty, Snapshot(Recording()));

        Recording recording;
        recording.loadBinary(dir.write("previous.bin", {1, 0x80, 0x7F, 0xFF, 5, 6}), "ci8_le",
                             48000.0);
        const Snapshot before(recording);
        ASSERT_EQ(before.count, 3u);
        EXPECT_NE(thrownMessage([&, &load = load] { load(recording); }), "<no exception>");
        expectUnchanged(recording, before);
    }
}

TEST(Assign, ReplacesTheRecordingOrRefusesMismatchedSequences)
{
    Recording recording;
    recording.assign(8000, {1.0, 2.0}, {3.0, 4.0});
    EXPECT_TRUE(recording.isLoaded());
    EXPECT_EQ(recording.sampleRate(), 8000u);
    EXPECT_EQ(recording.sampleCount(), 2u);
    EXPECT_THROW(recording.assign(10, {1.0}, {}), std::invalid_argument);
    EXPECT_EQ(recording.sampleRate(), 8000u);
    EXPECT_EQ(recording.qSamples(), (std::vector<double>{3.0, 4.0}));
}

// What is not a file, or cannot be opened, is refused at once with the file's
// name and the reason, the system's where it gives one; nothing waits on a FIFO.
TEST(LoadFromNonFiles, RefusedWithTheNameAndTheReasonWithoutBlocking)
{
    TempDir dir;
    const std::string fifo = dir.path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoPair = dir.path("pair.sigmf-data");
    ASSERT_EQ(::mkfifo(fifoPair.c_str(), 0600), 0);
    const std::string meta =
        dir.writeText("pair.sigmf-meta", "{\"global\": {\"core:sample_rate\": 5, \"core:datatype\": \"ru8\"}}");
    const std::string dangling = dir.path("dangling.wav");
    ASSERT_EQ(::symlink("gone.wav", dangling.c_str()), 0);
    const std::string loop = dir.path("loop.wav");
    ASSERT_EQ(::symlink("loop.wav", loop.c_str()), 0);
    const std::string locked = dir.writeText("locked.wav", "RIFF");
    ::chmod(locked.c_str(), 0);
    const struct
    {
        std::string path;
        std::string reason;
    } rows[] = {
        {fifo, "it is a named pipe (FIFO), not a file"},
        {dir.path(""), "it is a folder"},
        {dangling, "it is a link to \"gone.wav\", which does not exist"},
        {loop, "Too many levels of symbolic links"},
        {dir.path("missing.wav"), "No such file or directory"},
        // The superuser reads any file.
        {locked, ::geteuid() == 0 ? "" : "Permission denied"},
    };
    for (const auto& row : rows) {
        if (row.reason.empty())
            continue;
        SCOPED_TRACE(row.path);
        const std::string message = "Cannot open \"" + row.path + "\": " + row.reason;
        Recording recording;
        EXPECT_EQ(thrownMessage([&] { recording.loadWav(row.path); }), message);
        EXPECT_EQ(thrownMessage([&] { recording.loadBinary(row.path, "cf32_le", 8.0); }), message);
        EXPECT_EQ(thrownMessage([&] { recording.loadSigmf(row.path); }), message);
    }
    Recording recording;
    EXPECT_EQ(thrownMessage([&] { recording.loadSigmf(meta); }),
              "Cannot open \"" + fifoPair + "\": it is a named pipe (FIFO), not a file");
}

TEST(Swap, ExchangesWholeRecordingsWithoutCopying)
{
    Recording loaded;
    loaded.assign(8000, {1.0, 2.0}, {3.0, 4.0});
    const double* samples = loaded.iSamples().data();
    Recording empty;
    empty.swap(loaded);
    EXPECT_TRUE(empty.isLoaded());
    EXPECT_EQ(empty.sampleRate(), 8000u);
    EXPECT_EQ(empty.sampleCount(), 2u);
    EXPECT_EQ(empty.iSamples().data(), samples);
    EXPECT_EQ(empty.qSamples(), (std::vector<double>{3.0, 4.0}));
    EXPECT_FALSE(loaded.isLoaded());
    EXPECT_EQ(loaded.sampleCount(), 0u);
    EXPECT_TRUE(loaded.iSamples().empty());
}

// The samples stay in the file, so a recording larger than the available memory
// loads up to the sample limit; the limit itself still holds.
TEST(LoadBinary, RecordingsLargerThanMemoryLoadUpToTheLimit)
{
    TempDir dir;
    setMeminfoPath(dir.writeText("meminfo", "MemAvailable: 1048576 kB\n"));
    const std::pair<uint64_t, std::string> rows[] = {
        {8000000000ULL, "<no exception>"},
        {8000000008ULL, "\"" + dir.path("huge.rf64") + "\" holds 1000000001 samples, more than the "
                        "1000000000 one recording may hold"},
    };
    for (const auto& [bytes, message] : rows) {
        const std::string path = dir.write("huge.rf64", {});
        std::filesystem::resize_file(path, bytes);
        Recording recording;
        EXPECT_EQ(thrownMessage([&] { recording.loadBinary(path, "rf64_le", 1e6); }), message);
        if (message == "<no exception>") {
            EXPECT_EQ(recording.sampleCount(), 1000000000u);
            double i = -1, q = -1;
            recording.samples()->read(999999999, 1, &i, &q);
            EXPECT_EQ(i, 0.0);
        }
    }
    setMeminfoPath("");
}

} // namespace
