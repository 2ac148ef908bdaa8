// A WAV, IQW or raw recording that SigMF metadata beside it describes opens
// through that metadata, in the window and on the command line, and saves
// rewrite it; metadata that names another file, or cannot be used, is left out.

#include "tests/annotations/AnnotationFixture.h"

#include "app/BatchRun.h"

#include <iostream>
#include <sstream>

using DescribedRecording = AnnotationFixture;

namespace {

// What --info prints for path.
Json infoOf(const QString& path)
{
    CommandLineOptions options;
    options.recording = path;
    options.info = true;
    std::ostringstream out;
    std::streambuf* before = std::cout.rdbuf(out.rdbuf());
    const int status = runBatch(options);
    std::cout.rdbuf(before);
    EXPECT_EQ(status, 0);
    return Json::parse(out.str());
}

std::string metadataOf(const std::string& dataset, const std::string& datatype, uint64_t header)
{
    return R"({"global": {"core:datatype": ")" + datatype + R"(", "core:sample_rate": 1000, "core:dataset": ")"
           + dataset + R"(", "core:version": "1.2.0"}, "captures": [
        {"core:sample_start": 0, "core:frequency": 433920000, "core:datetime": "2024-05-01T12:00:00Z",
         "core:header_bytes": )"
           + std::to_string(header) + R"(}, {"core:sample_start": 5000, "core:frequency": 434000000}],
        "annotations": [{"core:sample_start": 1000, "core:sample_count": 500, "core:label": "kept"}]})";
}

} // namespace

TEST_F(DescribedRecording, OpensThroughTheMetadataBesideIt)
{
    const recordingfiles::Samples samples = recordingfiles::tone(1000, 10.0, 30.0);
    recordingfiles::writeWav(path("rec.wav"), 1000, samples);
    recordingfiles::writeCf32(path("rec.iqw"), samples);
    recordingfiles::writeCf32(path("rec.cfile"), samples);
    const struct
    {
        QString file;
        FileFormatChoice format;
        uint64_t header;
    } rows[] = {{"rec.wav", 0, 44}, {"rec.wav", 2, 44}, {"rec.iqw", 0, 0}, {"rec.cfile", 0, 0}, {"rec.cfile", 3, 0}};
    const QString meta = path("rec.sigmf-meta");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString() + " " + std::to_string(row.format));
        recordingfiles::writeBytes(meta, metadataOf(row.file.toStdString(), "cf32_le", row.header));
        // The metadata gives the rate and the datatype that the fields lack.
        setText("sampleRateEdit", "");
        setText("binaryFormatEdit", "ci8");
        ASSERT_TRUE(load(path(row.file), row.format).empty());
        EXPECT_EQ(text("fileNameLabel"), row.file);
        EXPECT_EQ(tableRows().size(), 1);
        EXPECT_EQ(text("centreFrequencyLabel"), "433920000");
        EXPECT_EQ(text("startTimeLabel"), "2024-05-01T12:00:00Z");
        EXPECT_EQ(text("captureCountLabel"), "2 captures");
        EXPECT_EQ(text("fileNoteLabel"), "Read through rec.sigmf-meta, which describes this file; saves rewrite it");
        EXPECT_EQ(window->recording().iSamples().size(), samples.i.size());
        EXPECT_EQ(window->recording().iSamples()[3], static_cast<float>(samples.i[3]));
        // Saves rewrite that metadata, its captures kept.
        EXPECT_TRUE(key(Qt::Key_A).empty());
        EXPECT_TRUE(key(Qt::Key_S, Qt::ControlModifier).empty());
        const Json written = Json::parse(fileText(meta));
        EXPECT_EQ(written["annotations"].size(), 2u);
        EXPECT_EQ(written["captures"].size(), 2u);
        EXPECT_EQ(written["global"]["core:dataset"], row.file.toStdString());
        // The command line opens it the same way.
        if (row.format == 0) {
            const Json info = infoOf(path(row.file));
            EXPECT_EQ(info["annotations"], 2);
            EXPECT_EQ(info["captures"], 2);
            EXPECT_EQ(info["centreFrequency"], 433920000.0);
            EXPECT_EQ(info["startTime"], "2024-05-01T12:00:00.000000Z");
            EXPECT_EQ(info["note"], "Read through rec.sigmf-meta, which describes this file; saves rewrite it");
        }
    }
}

// Metadata that describes another file is not this file's; metadata that cannot
// be used is named in the note, and the file opens on its own.
TEST_F(DescribedRecording, MetadataItCannotUseIsLeftOut)
{
    const recordingfiles::Samples samples = recordingfiles::tone(1000, 2.0, 30.0);
    recordingfiles::writeWav(path("rec.wav"), 1000, samples);
    const struct
    {
        std::string metadata;
        QString note;
    } rows[] = {
        {metadataOf("other.wav", "cf32_le", 44), ""},
        {"{\"global\": ", "rec.sigmf-meta beside it was not read: The metadata file \"rec.sigmf-meta\" is not "
                          "valid JSON: syntax error while parsing value - unexpected end of input; expected '[', "
                          "'{', or a literal (line 1, column 12)"},
        {metadataOf("rec.wav", "cf32_le", 40),
         "rec.sigmf-meta beside it was not read: it describes other samples than the file's header gives"},
        {metadataOf("rec.wav", "ci16_le", 44),
         "rec.sigmf-meta beside it was not read: it describes other samples than the file's header gives"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.note.toStdString());
        recordingfiles::writeBytes(path("rec.sigmf-meta"), row.metadata);
        ASSERT_TRUE(load(path("rec.wav")).empty());
        EXPECT_EQ(text("fileNoteLabel"), row.note);
        EXPECT_TRUE(tableRows().empty());
        EXPECT_EQ(window->recording().sampleCount(), samples.i.size());
        EXPECT_EQ(infoOf(path("rec.wav"))["annotations"], 0);
    }
}
