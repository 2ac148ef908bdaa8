// The reader a path goes to: endings in any letter case, explicit formats, and
// which formats need a rate from the caller.

#include "io/RecordingOpener.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(RecordingOpener, EndingsAndFormatsChooseTheReader)
{
    struct Row
    {
        const char* path;
        FileFormat format;
        std::optional<FileFormat> resolved; // nothing: the format cannot be told
        bool needsRate;
    } rows[] = {
        {"a.sigmf-meta", FileFormat::Auto, FileFormat::Sigmf, false},
        {"A.SIGMF-META", FileFormat::Auto, FileFormat::Sigmf, false},
        {"a.Sigmf", FileFormat::Auto, FileFormat::Sigmf, false},
        {"rec.wav", FileFormat::Auto, FileFormat::Wav, false},
        {"REC.WAV", FileFormat::Auto, FileFormat::Wav, false},
        {"x.IqW", FileFormat::Auto, FileFormat::Iqw, true},
        {"a.sigmf-data", FileFormat::Auto, FileFormat::Sigmf, false}, // the metadata beside it
        {"x.cs16", FileFormat::Auto, FileFormat::Binary, true},
        {"noending", FileFormat::Auto, std::nullopt, false},
        {"wav", FileFormat::Auto, std::nullopt, false},
        {"a.wav.bin", FileFormat::Auto, std::nullopt, false},
        {"raw.wav", FileFormat::Binary, FileFormat::Binary, true},
        {"x.sigmf-meta", FileFormat::Iqw, FileFormat::Iqw, true},
        {"meta.json", FileFormat::Sigmf, FileFormat::Sigmf, false},
        {"wave.dat", FileFormat::Wav, FileFormat::Wav, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(needsSampleRate(row.path, row.format), row.needsRate);
        if (row.resolved) {
            EXPECT_EQ(resolvedFormat(row.path, row.format), *row.resolved);
        } else {
            try {
                resolvedFormat(row.path, row.format);
                ADD_FAILURE() << "resolved";
            } catch (const std::runtime_error& error) {
                EXPECT_EQ(std::string(error.what()), "Cannot tell the format of \"" + std::string(row.path)
                                                         + "\" from its name: give --format or choose a "
                                                           "\"File format\"");
            }
        }
    }
}
