// WAV reading: RIFF chunks in any order and size, float and extensible float,
// refused formats, truncated and hostile headers, and files made by sox and scipy.

#include "io/Recording.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>
#include <optional>

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
    Bytes afterData;  // whole chunks after "data"
    bool dataSizeGiven = false;
    uint32_t dataSize = 0;
    std::string riffId = "RIFF";
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
    body.insert(body.end(), layout.afterData.begin(), layout.afterData.end());
    return chunk(layout.riffId, body, layout.riffId == "RIFF" ? static_cast<uint32_t>(body.size()) : 0xFFFFFFFF);
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
    const WavLayout pcm12 = layout([](WavLayout& l) { l.audioFormat = 1; l.bitsPerSample = 12; });
    const WavLayout pcm64 = layout([](WavLayout& l) { l.audioFormat = 1; l.bitsPerSample = 64; });
    const WavLayout pcm16Mono = layout([](WavLayout& l) {
        l.audioFormat = 1;
        l.bitsPerSample = 16;
        l.channels = 1;
    });
    const WavLayout aLaw = layout([](WavLayout& l) { l.audioFormat = 6; l.bitsPerSample = 8; });
    const WavLayout float16 = layout([](WavLayout& l) { l.bitsPerSample = 16; });
    const WavLayout extensibleUnknown = layout([](WavLayout& l) {
        l.audioFormat = 0xFFFE;
        l.fmtKind = WavLayout::extensible;
        l.subFormat = Bytes(16, 0x11);
    });
    const WavLayout mono = layout([](WavLayout& l) { l.channels = 1; });
    const WavLayout surround = layout([](WavLayout& l) { l.channels = 6; });
    const WavLayout rateZero = layout([](WavLayout& l) { l.sampleRate = 0; });
    const WavLayout hugeChunkBeforeData =
        layout([](WavLayout& l) { l.beforeData = chunk("LIST", {}, 0xFFFFFFFF); });
    const WavLayout hugeChunkBeforeFmt =
        layout([](WavLayout& l) { l.beforeFmt = chunk("LIST", {}, 0xFFFFFFFE); });

    Bytes notRiff = wavFile({}, frames);
    notRiff[0] = 'X';
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

    const std::string formatMessage = "WAV file must be 8-bit unsigned, 16-, 24- or 32-bit "
                                      "integer PCM, or 32- or 64-bit float format, this one is ";
    const std::string channelMessage = "WAV file must have 2 channels (I and Q), this one has ";
    Bytes rifx = wavFile({}, frames);
    rifx[3] = 'X';
    Bytes mp3 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x21, 0x76};
    mp3.resize(200, 0x55);
    const std::string named = "\"" + dir.path("refused.wav") + "\" ";
    const struct
    {
        const char* name;
        Bytes file;
        std::string message;
    } rows[] = {
        {"pcm12", wavFile(pcm12, frames), formatMessage + "12-bit integer PCM"},
        {"pcm64", wavFile(pcm64, frames), formatMessage + "64-bit integer PCM"},
        {"A-law", wavFile(aLaw, frames), formatMessage + "8-bit A-law"},
        {"float16", wavFile(float16, frames), formatMessage + "16-bit float"},
        {"extensible unknown", wavFile(extensibleUnknown, frames),
         formatMessage + "32-bit samples of an unknown extensible sub-format"},
        {"pcm16 mono", wavFile(pcm16Mono, frames), channelMessage + "1"},
        {"mono", wavFile(mono, frames), channelMessage + "1"},
        {"surround", wavFile(surround, frames), channelMessage + "6"},
        {"RIFX", rifx, "WAV file is big-endian (RIFX), which is not supported: the file must be "
                       "little-endian (RIFF, RF64 or BW64)"},
        {"rate 0", wavFile(rateZero, frames), "Invalid sample rate in WAV file: 0"},
        {"huge chunk before data", wavFile(hugeChunkBeforeData, frames),
         named + "is damaged: its \"LIST\" chunk at byte 36 runs past the end of the file"},
        {"huge chunk before fmt", wavFile(hugeChunkBeforeFmt, frames),
         named + "is damaged: its \"LIST\" chunk at byte 12 runs past the end of the file"},
        {"43 bytes", Bytes(canonical.begin(), canonical.begin() + 43),
         named + "is too short to be a WAV file: it holds 43 bytes, a WAV header takes 44"},
        {"empty", {}, named + "is empty"},
        {"not RIFF", notRiff, named + "is not a WAV file (it starts with \"XIFF\")"},
        {"MP3", mp3, named + "is not a WAV file (it starts with \"ID3\")"},
        {"binary", Bytes(64, 0), named + "is not a WAV file (it starts with the bytes 00 00 00 00)"},
        {"not WAVE", notWave, named + "is not a WAV file (it is a RIFF file of type \"WAVX\")"},
        {"no data chunk", noData, named + "is damaged: it ends before its \"data\" chunk"},
        {"fmt shorter than 16", fmtTooShort,
         named + "is damaged: its \"fmt \" chunk holds 14 bytes, fewer than the 16 of its fields"},
        {"header only", Bytes(canonical.begin(), canonical.begin() + 44),
         named + "ends before its first sample: its \"data\" chunk declares 80 bytes, the file holds 0 of them"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        EXPECT_EQ(thrownMessage([&] { recording.loadWav(dir.write("refused.wav", row.file)); }),
                  row.message);
    }
    Recording recording;
    EXPECT_EQ(thrownMessage([&] { recording.loadWav(dir.path("missing.wav")); }),
              "Cannot open \"" + dir.path("missing.wav") + "\": No such file or directory");
}

// SYSTEMTIME 2024-05-01 (a Wednesday) 12:34:56.789, a stop time, then the centre
// frequency; sdrExtra stands for the fields that follow in real files.
Bytes auxiBody(uint16_t month, uint32_t centreHz, std::size_t size = 48)
{
    Bytes body;
    for (uint16_t field : {2024, int(month), 3, 1, 12, 34, 56, 789})
        appendLe(body, field, 2);
    body.resize(32, 0);
    appendLe(body, centreHz, 4);
    body.resize(size, 0x5A);
    return body;
}

Bytes ds64Chunk(uint64_t dataSize)
{
    Bytes body;
    appendLe(body, 0, 8); // RIFF size: not read
    appendLe(body, dataSize, 8);
    appendLe(body, 0, 8); // sample count: not read
    appendLe(body, 0, 4); // no table entries
    return chunk("ds64", body);
}

TEST(LoadWav, VariantsWithTheirValues)
{
    TempDir dir;
    auto layout = [](uint16_t format, uint16_t bits, auto change) {
        WavLayout result;
        result.audioFormat = format;
        result.bitsPerSample = bits;
        change(result);
        return result;
    };
    auto plain = [](WavLayout&) {};
    auto extensible = [](const Bytes& subFormat) {
        return [subFormat](WavLayout& l) {
            l.audioFormat = 0xFFFE;
            l.fmtKind = WavLayout::extensible;
            l.subFormat = subFormat;
        };
    };
    Bytes doubles;
    for (double value : {0.1, -1e300, 5e-324, -0.0})
        appendLe(doubles, std::bit_cast<uint64_t>(value), 8);
    const Bytes u8 = {0x00, 0xFF, 0x80, 0x7F};
    const Bytes s16 = {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF, 0x01, 0x00};
    const Bytes s24 = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00};
    const Bytes s32 = {0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F,
                       0xFE, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
    const std::vector<double> i16 = {-32768, -1}, q16 = {32767, 1};
    // RF64 and BW64 take the data size from ds64 when the chunk's own says 0xFFFFFFFF.
    auto sixtyFour = [](const char* id) {
        return [id](WavLayout& l) {
            l.riffId = id;
            l.beforeFmt = ds64Chunk(4); // one frame of the two in the chunk
            l.dataSizeGiven = true;
            l.dataSize = 0xFFFFFFFF;
        };
    };
    const struct
    {
        const char* name;
        WavLayout layout;
        Bytes data;
        std::vector<double> i, q;
        bool unsignedSamples;
        std::optional<double> centre;
        std::string start;
    } rows[] = {
        {"8-bit unsigned", layout(1, 8, plain), u8, {0, 128}, {255, 127}, true, {}, ""},
        {"16-bit", layout(1, 16, plain), s16, i16, q16, false, {}, ""},
        {"24-bit", layout(1, 24, plain), s24, {-8388608, -1}, {8388607, 1}, false, {}, ""},
        {"32-bit", layout(1, 32, plain), s32, {-2147483648.0, -2}, {2147483647, 2}, false, {}, ""},
        {"64-bit float", layout(3, 64, plain), doubles, {0.1, 5e-324}, {-1e300, -0.0}, false, {}, ""},
        {"extensible 16-bit", layout(1, 16, extensible(pcmSubFormat)), s16, i16, q16, false, {}, ""},
        {"extensible 24-bit", layout(1, 24, extensible(pcmSubFormat)), s24, {-8388608, -1},
         {8388607, 1}, false, {}, ""},
        {"extensible 8-bit", layout(1, 8, extensible(pcmSubFormat)), u8, {0, 128}, {255, 127}, true, {}, ""},
        {"extensible 64-bit float", layout(3, 64, extensible(floatSubFormat)), doubles,
         {0.1, 5e-324}, {-1e300, -0.0}, false, {}, ""},
        {"RF64 with ds64", layout(1, 16, sixtyFour("RF64")), s16, {-32768}, {32767}, false, {}, ""},
        {"BW64 with ds64", layout(1, 16, sixtyFour("BW64")), s16, {-32768}, {32767}, false, {}, ""},
        {"auxi before data", layout(1, 16, [](WavLayout& l) {
             l.beforeData = chunk("auxi", auxiBody(5, 100500000));
         }), s16, i16, q16, false, 100500000.0, "2024-05-01 12:34:56.789"},
        {"auxi after data", layout(1, 16, [](WavLayout& l) {
             l.afterData = chunk("auxi", auxiBody(5, 7000000));
         }), s16, i16, q16, false, 7000000.0, "2024-05-01 12:34:56.789"},
        // A malformed auxi never refuses the file: what can be read is taken.
        {"auxi with month 13", layout(1, 16, [](WavLayout& l) {
             l.beforeData = chunk("auxi", auxiBody(13, 433920000));
         }), s16, i16, q16, false, 433920000.0, ""},
        {"auxi of 20 bytes", layout(1, 16, [](WavLayout& l) {
             l.beforeData = chunk("auxi", auxiBody(5, 1, 20));
         }), s16, i16, q16, false, {}, "2024-05-01 12:34:56.789"},
        {"auxi of 4 bytes", layout(1, 16, [](WavLayout& l) {
             l.beforeData = chunk("auxi", {1, 2, 3, 4});
         }), s16, i16, q16, false, {}, ""},
        {"auxi past the end", layout(1, 16, [](WavLayout& l) {
             l.afterData = chunk("auxi", {1, 2}, 0x7FFFFFFF);
         }), s16, i16, q16, false, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        recording.loadWav(dir.write("variant.wav", wavFile(row.layout, row.data)));
        EXPECT_EQ(recording.sampleRate(), 48000u);
        EXPECT_EQ(recording.iSamples(), row.i);
        EXPECT_EQ(recording.qSamples(), row.q);
        for (std::size_t k = 0; k < row.i.size(); ++k)
            EXPECT_EQ(std::signbit(recording.qSamples()[k]), std::signbit(row.q[k])) << k;
        EXPECT_EQ(recording.info().unsignedSamples, row.unsignedSamples);
        EXPECT_EQ(recording.info().centreFrequency, row.centre);
        EXPECT_EQ(recording.info().startTime, row.start);
    }
}

// An RF64 file above 4 GiB (sparse: only the headers and the last frame are
// written) loads with the data size of its ds64 chunk.
TEST(LoadWav, Rf64AboveFourGibibytes)
{
    TempDir dir;
    constexpr uint64_t frames = 600000000; // 4.8 GB of stereo 32-bit float
    WavLayout layout;
    layout.riffId = "RF64";
    layout.beforeFmt = ds64Chunk(frames * 8);
    layout.dataSizeGiven = true;
    layout.dataSize = 0xFFFFFFFF;
    const Bytes head = wavFile(layout, {});
    const std::string path = dir.write("big.wav", head);
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(head.size() + (frames - 1) * 8));
        const float last[2] = {1.5f, -2.5f};
        out.write(reinterpret_cast<const char*>(last), sizeof(last));
    }
    Recording recording;
    recording.loadWav(path);
    ASSERT_EQ(recording.sampleCount(), frames);
    double i[2], q[2];
    recording.samples()->read(frames - 2, 2, i, q);
    EXPECT_EQ(i[0], 0.0);
    EXPECT_EQ(i[1], 1.5);
    EXPECT_EQ(q[1], -2.5);
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

// A recording cut short (a full disk, a crash) loads the whole samples it holds,
// and its note says what is missing.
TEST(LoadWav, CutShortLoadsTheWholeSamplesWithANote)
{
    TempDir dir;
    const Bytes frames = rampFrames(10); // 80 bytes of stereo float
    const struct
    {
        uint32_t declared;
        Bytes data;
        size_t loaded;
        std::string note;
    } rows[] = {
        {81, frames, 10, "The file ends 1 byte before its declared end: 10 samples loaded"},
        {0xFFFFFFF0, frames, 10,
         "The file ends 4,294,967,200 bytes before its declared end: 10 samples loaded"},
        {800, Bytes(frames.begin(), frames.begin() + 42), 5,
         "The file ends 758 bytes before its declared end: 5 samples loaded"},
        {80, frames, 10, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.declared);
        WavLayout layout;
        layout.dataSizeGiven = true;
        layout.dataSize = row.declared;
        Recording recording;
        recording.loadWav(dir.write("cut.wav", wavFile(layout, row.data)));
        EXPECT_EQ(recording.sampleCount(), row.loaded);
        EXPECT_EQ(recording.info().note, row.note);
        expectRamp(recording, 48000, row.loaded);
    }
}
