// The pieces of the written formats: start times read and moved by samples,
// RF64 headers and long tar names and sizes as the readers take them.

#include "export/TarHeader.h"
#include "export/TimeStamp.h"
#include "export/WavHeader.h"
#include "io/TarArchive.h"
#include "tests/export/ExportTestFiles.h"

#include <gtest/gtest.h>

TEST(ExportFormats, StartTimesReadMovedAndWritten)
{
    const struct
    {
        std::string text;
        uint64_t samples;
        uint32_t rate;
        std::string iso; // empty: not a time
        std::string systemTime = {};
    } rows[] = {
        {"2024-05-01T12:00:00Z", 250, 1000, "2024-05-01T12:00:00.250000Z", "2024-05-01 12:00:00.250"},
        {"2024-05-01 12:00:00.250", 0, 1000, "2024-05-01T12:00:00.250000Z"},  // the WAV reader's text
        {"2024-05-01T14:30:00.5+02:30", 0, 8, "2024-05-01T12:00:00.500000Z"},
        {"2024-05-01t12:00:00-0100", 0, 8, "2024-05-01T13:00:00.000000Z"},
        {"2024-12-31T23:59:59.999999999Z", 1, 1000000000, "2025-01-01T00:00:00.000000Z", "2025-01-01 00:00:00"},
        {"2024-02-28T23:59:59Z", 3, 3, "2024-02-29T00:00:00.000000Z"},          // leap year
        {"2024-05-01T12:00:00Z", 1, 3, "2024-05-01T12:00:00.333333333Z"},       // nanoseconds
        {"1999-12-31T23:59:59.123456789123Z", 0, 1, "1999-12-31T23:59:59.123456789Z"},
        {"1600-12-31T23:59:59Z", 0, 1, "1600-12-31T23:59:59.000000Z", "0000-00-00 00:00:00"},
        {"2024-05-01T12:00:00Z", 4000000000000000000, 4294967295, "2053-11-04T16:42:54.832318950Z"},
        {"2023-02-29T12:00:00Z", 0, 1, ""},
        {"2024-05-01T24:00:00Z", 0, 1, ""},
        {"2024-05-01T12:00:00.Z", 0, 1, ""},
        {"2024-05-01T12:00:00 UTC", 0, 1, ""},
        {"2024-05-01", 0, 1, ""},
        {"", 0, 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::optional<TimeStamp> parsed = TimeStamp::parse(row.text);
        ASSERT_EQ(parsed.has_value(), !row.iso.empty());
        if (!parsed)
            continue;
        const TimeStamp moved = parsed->plusSamples(row.samples, row.rate);
        EXPECT_EQ(moved.isoText(), row.iso);
        if (row.systemTime.empty())
            continue;
        const std::array<unsigned char, 16> s = moved.systemTime();
        const auto field = [&s](int k) { return unsigned(s[2 * k] | (s[2 * k + 1] << 8)); };
        char text[40];
        std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", field(0), field(1), field(3),
                      field(4), field(5), field(6));
        char milliseconds[8] = "";
        if (field(7) != 0)
            std::snprintf(milliseconds, sizeof(milliseconds), ".%03u", field(7));
        EXPECT_EQ(std::string(text) + milliseconds, row.systemTime);
    }
}

TEST(ExportFormats, HeadersTheReadersTake)
{
    TempDir dir;
    // RF64 forced on a small file: the reader takes the sizes from ds64.
    WavAuxi auxi{TimeStamp::parse("2024-05-01T12:00:00.25Z"), {}, 433.92e6};
    for (bool rf64 : {false, true}) {
        Bytes file = wavHeader({true, 32}, 48000, 3, auxi, rf64);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), rf64 ? "RF64" : "RIFF");
        for (float value : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f})
            appendFloat(file, value);
        Recording recording;
        recording.loadWav(dir.write("h.wav", file));
        EXPECT_EQ(recording.sampleRate(), 48000u);
        EXPECT_EQ(recording.qSamples(), (std::vector<double>{2, 4, 6}));
        EXPECT_EQ(recording.info().centreFrequency, 433.92e6);
        EXPECT_EQ(recording.info().startTime, "2024-05-01 12:00:00.250");
    }
    // Frequencies the chunk cannot hold are written as "unknown".
    for (double frequency : {5e9, -1e6, 0.4}) {
        Bytes file = wavHeader({false, 16}, 8000, 1, {{}, {}, frequency});
        appendLe(file, 0, 4);
        Recording recording;
        recording.loadWav(dir.write("f.wav", file));
        EXPECT_FALSE(recording.info().centreFrequency) << frequency;
    }

    // A name beyond the header's 100 bytes goes in a pax record.
    const std::string longName = std::string(150, 'n') + "/" + std::string(150, 'n') + ".sigmf-data";
    Bytes archive = tarFileHeader(longName, 3, 0);
    archive.insert(archive.end(), {1, 2, 3});
    archive.resize(archive.size() + tarPadding(3) + tarEndBytes, 0);
    std::vector<TarMember> members;
    forEachTarMember(InputFile(dir.write("a.tar", archive)), [&](const TarMember& m) {
        members.push_back(m);
        return true;
    });
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, longName);
    EXPECT_EQ(members[0].size, 3u);
    EXPECT_EQ(fileBytes(dir.path("a.tar"), members[0].offset, 3), (Bytes{1, 2, 3}));
    // A size beyond the octal field's 8 GiB - 1: the reader sees it, and says the file is short.
    const uint64_t huge = uint64_t(10) << 30;
    Bytes big = tarFileHeader("big", huge, 0);
    big.resize(big.size() + tarEndBytes, 0);
    EXPECT_EQ(thrownMessage([&] {
                  forEachTarMember(InputFile(dir.write("b.tar", big)), [](const TarMember&) { return true; });
              }),
              "SigMF archive is truncated: \"big\" should hold 10737418240 bytes, but the file ends after 1024 of them");
}
