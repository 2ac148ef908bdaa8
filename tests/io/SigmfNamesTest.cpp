// The SigMF file names: a pair's data file from its metadata's name and back,
// endings in any letter case, and bytes outside ASCII never taken for letters.

#include "io/SigmfNames.h"

#include <gtest/gtest.h>

TEST(SigmfNames, PairOfAPathAndEndings)
{
    const struct
    {
        std::string meta;
        std::string data;
    } pairs[] = {
        {"/a/b/rec.sigmf-meta", "/a/b/rec.sigmf-data"},
        {"REC.Sigmf-Meta", "REC.sigmf-data"},
        {"x.sigmf-meta/.sigmf-meta", "x.sigmf-meta/.sigmf-data"},
    };
    for (const auto& row : pairs) {
        EXPECT_EQ(sigmfDataPath(row.meta), row.data) << row.meta;
        EXPECT_EQ(sigmfMetaPath(row.data), row.data.substr(0, row.data.size() - 11) + ".sigmf-meta");
    }
    // A name without the ending gets it appended.
    EXPECT_EQ(sigmfDataPath("x.json"), "x.json.sigmf-data");
    EXPECT_EQ(sigmfMetaPath("REC.SIGMF-DATA"), "REC.sigmf-meta");

    const struct
    {
        std::string text;
        std::string ending;
        bool ends;
    } endings[] = {
        {"a.SiGmF", sigmfArchiveEnding, true},       {"a.sigmf-meta", sigmfArchiveEnding, false},
        {"sigmf", sigmfArchiveEnding, false},        {"a.wav", ".WAV", true},
        {"a.s\xC9gmf", sigmfArchiveEnding, false},   {"a.\xC9", "\xE9", false},
    };
    for (const auto& row : endings)
        EXPECT_EQ(endsWithAnyCase(row.text, row.ending), row.ends) << row.text << " " << row.ending;
}
