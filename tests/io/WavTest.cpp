// WAV reading: RIFF chunks in any order and size, float and extensible float,
// refused formats, truncated and hostile headers, and files made by sox and scipy.

#include "io/Recording.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

const Bytes floatSubFormat = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
const Bytes pcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

Bytes chunk(const std::string& id, const Bytes& body, uint32_t declaredSize)
{
    Bytes out;
    append(out, id);
    appendLe(out, declaredSize, 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 == 1)
        out.push_back(0);
    return out;
}

Bytes chunk(const std::string& id, const Bytes& body)
{
    return chunk(id, body, static_cast<uint32_t>(body.size()));
}

struct WavLayout
{
    uint16_t audioFormat = 3;
    uint16_t channels = 2;
    uint32_t sampleRate = 48000;
    uint16_t bitsPerSample = 32;
    enum { plain, withCbSize, extensible } fmtKind = plain;
    Bytes subFormat = floatSubFormat;
    Bytes beforeFmt;  // whole chunks between "WAVE" and "fmt "
    Bytes beforeData; // whole chunks between "fmt " and "data"
    bool dataSizeGiven = false;
    uint32_t dataSize = 0;
};

Bytes wavFile(const WavLayout& layout, const Bytes& data)
{
    Bytes fmt;
    const uint16_t frameBytes = static_cast<uint16_t>(layout.channels * layout.bitsPerSample / 8);
    appendLe(fmt, layout.audioFormat, 2);
    appendLe(fmt, layout.channels, 2);
    appendLe(fmt, layout.sampleRate, 4);
    appendLe(fmt, uint64_t{layout.sampleRate} * frameBytes, 4);
    appendLe(fmt, frameBytes, 2);
    appendLe(fmt, layout.bitsPerSample, 2);
    if (layout.fmtKind == WavLayout::withCbSize)
        appendLe(fmt, 0, 2);
    if (layout.fmtKind == WavLayout::extensible) {
        appendLe(fmt, 22, 2);
        appendLe(fmt, layout.bitsPerSample, 2);
        appendLe(fmt, 3, 4); // front left and right
        fmt.insert(fmt.end(), layout.subFormat.begin(), layout.subFormat.end());
    }
    Bytes body;
    append(body, "WAVE");
    body.insert(body.end(), layout.beforeFmt.begin(), layout.beforeFmt.end());
    const Bytes fmtChunk = chunk("fmt ", fmt);
    body.insert(body.end(), fmtChunk.begin(), fmtChunk.end());
    body.insert(body.end(), layout.beforeData.begin(), layout.beforeData.end());
    const Bytes dataChunk = chunk(
        "data", data, layout.dataSizeGiven ? layout.dataSize : static_cast<uint32_t>(data.size()));
    body.insert(body.end(), dataChunk.begin(), dataChunk.end());
    return chunk("RIFF", body);
}

// Frames k = 0 .. frames-1 with I = k / 4 and Q = -k / 8 - 1 (exact in float).
Bytes rampFrames(std::size_t frames)
{
    Bytes data;
    for (std::size_t k = 0; k < frames; ++k) {
        appendFloat(data, static_cast<float>(k) / 4.0f);
        appendFloat(data, -static_cast<float>(k) / 8.0f - 1.0f);
    }
    return data;
}

void expectRamp(const Recording& recording, uint32_t rate, std::size_t frames)
{
    EXPECT_TRUE(recording.isLoaded());
    EXPECT_EQ(recording.sampleRate(), rate);
    ASSERT_EQ(recording.sampleCount(), frames);
    ASSERT_EQ(recording.iSamples().size(), frames);
    ASSERT_EQ(recording.qSamples().size(), frames);
    for (std::size_t k = 0; k < frames; ++k) {
        ASSERT_EQ(recording.iSamples()[k], static_cast<double>(k) / 4.0) << k;
        ASSERT_EQ(recording.qSamples()[k], -static_cast<double>(k) / 8.0 - 1.0) << k;
    }
}

TEST(LoadWav, CanonicalFile)
{
    TempDir dir;
    const Bytes file = wavFile({}, rampFrames(1000));
    ASSERT_EQ(file.size(), 44u + 8000u);
    Recording recording;
    recording.loadWav(dir.write("canonical.wav", file));
    expectRamp(recording, 48000, 1000);
}

TEST(LoadWav, ChunksAnywhereBeforeTheData)
{
    TempDir dir;
    WavLayout fact;
    fact.fmtKind = WavLayout::withCbSize;
    fact.beforeData = chunk("fact", {0xB8, 0x0B, 0, 0});
    WavLayout list;
    // An odd-sized chunk, padded to an even length.
    list.beforeData = chunk("LIST", {'I', 'N', 'F', 'O', 'x'});
    WavLayout junkFirst;
    junkFirst.sampleRate = 44100;
    junkFirst.beforeFmt = chunk("JUNK", Bytes(28, 0));
    junkFirst.beforeData = chunk("auxi", {1, 2, 3});
    WavLayout extensible;
    extensible.audioFormat = 0xFFFE;
    extensible.fmtKind = WavLayout::extensible;
    extensible.beforeData = chunk("fact", {0xB8, 0x0B, 0, 0});
    const std::pair<const char*, WavLayout> rows[] = {
        {"fact", fact}, {"LIST", list}, {"JUNK and auxi", junkFirst}, {"extensible", extensible}};
    for (const auto& [name, layout] : rows) {
        SCOPED_TRACE(name);
        Recording recording;
        // 3000 frames: several passes of the read buffer.
        recording.loadWav(dir.write("chunks.wav", wavFile(layout, rampFrames(3000))));
        expectRamp(recording, layout.sampleRate, 3000);
    }
}

TEST(LoadWav, DataSizeBoundedByTheFile)
{
    TempDir dir;
    Recording recording;
    // Unknown size (streamed output): the data runs to the end, whole frames only.
    WavLayout unknown;
    unknown.dataSizeGiven = true;
    unknown.dataSize = 0xFFFFFFFF;
    Bytes data = rampFrames(7);
    data.insert(data.end(), {1, 2, 3, 4, 5});
    recording.loadWav(dir.write("unknown.wav", wavFile(unknown, data)));
    expectRamp(recording, 48000, 7);

    // Bytes that do not fill a whole frame are left out.
    recording.loadWav(dir.write("odd.wav", wavFile({}, data)));
    expectRamp(recording, 48000, 7);

    WavLayout empty;
    recording.loadWav(dir.write("empty.wav", wavFile(empty, {})));
    expectRamp(recording, 48000, 0);
}

TEST(LoadWav, RefusedFiles)
{
    TempDir dir;
    const Bytes frames = rampFrames(10);
    auto layout = [](auto change) {
        WavLayout result;
        change(result);
        return result;
    };
    const WavLayout pcm16 = layout([](WavLayout& l) { l.audioFormat = 1; l.bitsPerSample = 16; });
    const WavLayout pcm16Mono = layout([](WavLayout& l) {
        l.audioFormat = 1;
        l.bitsPerSample = 16;
        l.channels = 1;
    });
    const WavLayout pcm32 = layout([](WavLayout& l) { l.audioFormat = 1; });
    const WavLayout float64 = layout([](WavLayout& l) { l.bitsPerSample = 64; });
    const WavLayout extensiblePcm = layout([](WavLayout& l) {
        l.audioFormat = 0xFFFE;
        l.fmtKind = WavLayout::extensible;
        l.subFormat = pcmSubFormat;
    });
    const WavLayout mono = layout([](WavLayout& l) { l.channels = 1; });
    const WavLayout surround = layout([](WavLayout& l) { l.channels = 6; });
    const WavLayout rateZero = layout([](WavLayout& l) { l.sampleRate = 0; });
    const WavLayout shortData = layout([](WavLayout& l) {
        l.dataSizeGiven = true;
        l.dataSize = 81;
    });
    const WavLayout hugeData = layout([](WavLayout& l) {
        l.dataSizeGiven = true;
        l.dataSize = 0xFFFFFFF0;
    });
    const WavLayout hugeChunkBeforeData =
        layout([](WavLayout& l) { l.beforeData = chunk("LIST", {}, 0xFFFFFFFF); });
    const WavLayout hugeChunkBeforeFmt =
        layout([](WavLayout& l) { l.beforeFmt = chunk("LIST", {}, 0xFFFFFFFE); });

    Bytes notRiff = wavFile({}, frames);
    notRiff[3] = 'X';
    Bytes notWave = wavFile({}, frames);
    notWave[11] = 'X';
    Bytes noData;
    append(noData, "RIFF");
    appendLe(noData, 36 + 8, 4);
    append(noData, "WAVE");
    const Bytes canonical = wavFile({}, frames);
    noData.insert(noData.end(), canonical.begin() + 12, canonical.begin() + 36);
    const Bytes list = chunk("LIST", Bytes(12, 0));
    noData.insert(noData.end(), list.begin(), list.end());
    Bytes fmtTooShort;
    append(fmtTooShort, "RIFF");
    appendLe(fmtTooShort, 0, 4);
    append(fmtTooShort, "WAVE");
    const Bytes smallFmt = chunk("fmt ", Bytes(14, 0));
    fmtTooShort.insert(fmtTooShort.end(), smallFmt.begin(), smallFmt.end());
    const Bytes dataChunk = chunk("data", frames);
    fmtTooShort.insert(fmtTooShort.end(), dataChunk.begin(), dataChunk.end());

    const std::string floatMessage = "WAV file must be 32-bit float format";
    const struct
    {
        const char* name;
        Bytes file;
        std::string message;
    } rows[] = {
        {"pcm16", wavFile(pcm16, frames), floatMessage},
        {"pcm16 mono", wavFile(pcm16Mono, frames), floatMessage},
        {"pcm32", wavFile(pcm32, frames), floatMessage},
        {"float64", wavFile(float64, frames), floatMessage},
        {"extensible pcm", wavFile(extensiblePcm, frames), floatMessage},
        {"mono", wavFile(mono, frames), "WAV file must have 2 channels"},
        {"surround", wavFile(surround, frames), "WAV file must have 2 channels"},
        {"rate 0", wavFile(rateZero, frames), "Invalid sample rate in WAV file: 0"},
        {"short data", wavFile(shortData, frames), "Failed to read binary data"},
        {"huge data", wavFile(hugeData, frames), "Failed to read binary data"},
        {"huge chunk before data", wavFile(hugeChunkBeforeData, frames), "Not a valid WAV file"},
        {"huge chunk before fmt", wavFile(hugeChunkBeforeFmt, frames), "Not a valid WAV file"},
        {"43 bytes", Bytes(canonical.begin(), canonical.begin() + 43), "Failed to read binary data"},
        {"empty", {}, "Failed to read binary data"},
        {"not RIFF", notRiff, "Not a valid WAV file"},
        {"not WAVE", notWave, "Not a valid WAV file"},
        {"no data chunk", noData, "Not a valid WAV file"},
        {"fmt shorter than 16", fmtTooShort, "Not a valid WAV file"},
        {"header only", Bytes(canonical.begin(), canonical.begin() + 44), "Failed to read binary data"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        EXPECT_EQ(thrownMessage([&] { recording.loadWav(dir.write("refused.wav", row.file)); }),
                  row.message);
    }
    Recording recording;
    EXPECT_EQ(thrownMessage([&] { recording.loadWav(dir.path("missing.wav")); }),
              "Failed to open file");
    EXPECT_EQ(thrownMessage([&] { recording.loadWav(dir.path("")); }), "Failed to open file");
}

// The samples of a fixture, read straight from its bytes: little-endian singles
// from the given offset.
std::vector<float> rawSingles(const std::string& path, std::size_t offset)
{
    std::ifstream file(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<float> values((bytes.size() - offset) / 4);
    std::memcpy(values.data(), bytes.data() + offset, values.size() * 4);
    return values;
}

TEST(LoadWav, FilesWrittenBySoxAndScipy)
{
    constexpr double pi = std::numbers::pi;
    const struct
    {
        const char* name;
        uint32_t rate;
        uint32_t frames;
        double (*left)(double);
        double (*right)(double);
    } rows[] = {
        {"sox_stereo_float.wav", 48000, 200,
         [](double k) { return std::sin(2 * pi * 1000 * k / 48000); },
         [](double k) { return std::sin(2 * pi * 2000 * k / 48000); }},
        {"scipy_stereo_float.wav", 44100, 250, [](double k) { return std::sin(2 * pi * k / 25); },
         [](double k) { return 0.5 * std::cos(2 * pi * k / 25); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = std::string(NORVALE_TEST_DATA_DIR) + "/" + row.name;
        Recording recording;
        recording.loadWav(path);
        EXPECT_EQ(recording.sampleRate(), row.rate);
        ASSERT_EQ(recording.sampleCount(), row.frames);
        // Both tools put an 18-byte "fmt " and a "fact" chunk first: samples at 58.
        const std::vector<float> singles = rawSingles(path, 58);
        ASSERT_EQ(singles.size(), 2u * row.frames);
        for (uint32_t k = 0; k < row.frames; ++k) {
            ASSERT_EQ(recording.iSamples()[k], static_cast<double>(singles[2 * k])) << k;
            ASSERT_EQ(recording.qSamples()[k], static_cast<double>(singles[2 * k + 1])) << k;
            ASSERT_NEAR(recording.iSamples()[k], row.left(k), 1e-6) << k;
            ASSERT_NEAR(recording.qSamples()[k], row.right(k), 1e-6) << k;
        }
    }
}

} // namespace
