// Files as SDR software leaves them: a stray partial sample at the end, a data
// file named instead of its metadata, raw captures named by their ending.

#include "io/InputFile.h"
#include "io/RecordingOpener.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const std::string metadata =
    R"({"global": {"core:sample_rate": 1000, "core:datatype": "ci16_le"}, "captures": [], "annotations": []})";

std::string loadedNote(const RecordingContents& contents)
{
    return contents.info.note;
}

} // namespace

TEST(ForgivingRead, DamagedAndConventionallyNamedFiles)
{
    TempDir dir;
    const Bytes eightSamples(32, 7); // 8 samples of ci16 (4 bytes each)
    Bytes withStray = eightSamples;
    withStray.insert(withStray.end(), {1, 2, 3});
    dir.writeText("stray.sigmf-meta", metadata);
    dir.write("stray.sigmf-data", withStray);
    dir.writeText("beside.sigmf-meta", metadata);
    dir.write("beside.sigmf-data", eightSamples);
    dir.write("capture.cs16", withStray);
    dir.write("capture.CU8", Bytes(10, 128));
    dir.write("capture.cfile", Bytes(16, 0));
    dir.write("one.cs16", Bytes(3, 0));

    const struct
    {
        const char* file;
        uint64_t samples; // 0: refused
        std::string noteOrMessage;
    } rows[] = {
        {"stray.sigmf-meta", 8, "3 bytes after the last whole sample are ignored"},
        {"beside.sigmf-data", 8, ""},           // its metadata beside it
        {"capture.cs16", 8, "3 bytes after the last whole sample are ignored"},
        {"capture.CU8", 5, ""},
        {"capture.cfile", 2, ""},
        {"one.cs16", 0, quotedPath(dir.path("one.cs16")) + " holds 3 bytes, less than one ci16_le sample (4 bytes)"},
        {"missing.sigmf-data", 0,
         "Cannot open " + quotedPath(dir.path("missing.sigmf-meta")) + ": No such file or directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        try {
            const RecordingContents contents =
                openRecording(dir.path(row.file), FileFormat::Auto, "", 1000.0);
            EXPECT_EQ(contents.samples->size(), row.samples);
            EXPECT_EQ(loadedNote(contents), row.noteOrMessage);
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(row.samples, 0u);
            EXPECT_EQ(std::string(error.what()), row.noteOrMessage);
        }
    }
    // The ending names the datatype: the caller need only give the rate.
    EXPECT_EQ(impliedDatatype("x.cs8"), "ci8_le");
    EXPECT_EQ(impliedDatatype("x.FC32"), "cf32_le");
    EXPECT_TRUE(needsSampleRate("x.cu8", FileFormat::Auto));
    EXPECT_FALSE(impliedDatatype("x.bin").has_value());
}
