// WAV and raw recordings described by SigMF metadata written beside them: the
// metadata names the file as its dataset with the bytes before and after its
// samples, and opening it gives exactly the samples, rate, centre frequency and
// start time the file gave.

#include "io/Recording.h"
#include "io/RecordingOpener.h"
#include "io/SigmfFile.h"
#include "sigmf/AnnotationFields.h"
#include "sigmf/AnnotationFiles.h"
#include "tests/io/IoTestFiles.h"
#include "tests/support/SyncHook.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>


namespace {

Bytes chunk(const std::string& id, const Bytes& body)
{
    Bytes out;
    append(out, id);
    appendLe(out, body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 == 1)
        out.push_back(0);
    return out;
}

// A stereo WAV of `bits` per value (3 = float for 32) with chunks before and after the data.
Bytes wav(uint16_t format, uint16_t bits, const Bytes& data, const Bytes& before, const Bytes& after)
{
    Bytes fmt;
    appendLe(fmt, format, 2);
    appendLe(fmt, 2, 2);
    appendLe(fmt, 8000, 4);
    appendLe(fmt, 8000u * 2 * bits / 8, 4);
    appendLe(fmt, 2 * bits / 8, 2);
    appendLe(fmt, bits, 2);
    Bytes body;
    append(body, "WAVE");
    for (const Bytes& part : {chunk("fmt ", fmt), before, chunk("data", data), after})
        body.insert(body.end(), part.begin(), part.end());
    return chunk("RIFF", body);
}

// 2024-05-01 12:34:56.789, then 145.5 MHz.
Bytes auxi()
{
    Bytes body;
    for (int field : {2024, 5, 3, 1, 12, 34, 56, 789})
        appendLe(body, static_cast<uint64_t>(field), 2);
    body.resize(32, 0);
    appendLe(body, 145500000, 4);
    body.resize(48, 0);
    return chunk("auxi", body);
}

Bytes counting(std::size_t bytes, unsigned step)
{
    Bytes out(bytes);
    for (std::size_t k = 0; k < bytes; ++k)
        out[k] = static_cast<unsigned char>(k * step + 1);
    return out;
}

} // namespace

TEST(DatasetMetadata, OpensTheSameSamples)
{
    TempDir dir;
    Bytes floats;
    for (int k = 0; k < 40; ++k)
        appendFloat(floats, static_cast<float>(k) * 0.25f - 3.0f);
    const Bytes list = chunk("LIST", counting(13, 7));
    const struct
    {
        std::string file;
        Bytes bytes;
        FileFormat format;
        std::string datatype; // of a raw file
        std::string written;  // core:datatype written
        uint64_t header, trailing;
        std::optional<double> centre;
        std::string start;
    } rows[] = {
        {"float.wav", wav(3, 32, floats, auxi(), list), FileFormat::Wav, "", "cf32_le", 12 + 24 + 56 + 8,
         22, 145500000.0, "2024-05-01T12:34:56.789000Z"},
        {"pcm16.wav", wav(1, 16, counting(64, 3), {}, {}), FileFormat::Wav, "", "ci16_le", 44, 0, {}, ""},
        // An odd-sized chunk after the data is padded: trailing bytes count the pad.
        {"pcm8.WAV", wav(1, 8, counting(30, 5), {}, chunk("note", counting(3, 1))), FileFormat::Wav, "",
         "cu8", 44, 12, {}, ""},
        // A partial last sample is left out of the samples, kept in the trailing bytes.
        {"raw.bin", counting(4 * 25 + 3, 11), FileFormat::Binary, "ci16_be", "ci16_be", 0, 3, {}, ""},
        {"capture.cu8", counting(50, 9), FileFormat::Auto, "", "cu8", 0, 0, {}, ""},
        {"floats.iqw", floats, FileFormat::Iqw, "", "cf32_le", 0, 0, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = dir.write(row.file, row.bytes);
        Recording source;
        source.take(openRecording(path, row.format, row.datatype, 8000));
        const DatasetFacts facts =
            datasetFactsOf(path, *source.samples(), source.sampleRate(), source.info());
        const std::string metaPath = datasetMetadataPath(path);
        EXPECT_EQ(metaPath, path.substr(0, path.rfind('.')) + ".sigmf-meta");
        AnnotationFields fields{2, 3, -100, 100, "tag", ""};
        writeDatasetMetadata(metaPath, facts, {createdAnnotation(fields, source.info(), "u")});

        const auto written = nlohmann::json::parse(fileText(metaPath));
        EXPECT_EQ(written["global"]["core:dataset"], row.file);
        EXPECT_EQ(written["global"]["core:datatype"], row.written);
        EXPECT_EQ(written["global"].value("core:trailing_bytes", 0u), row.trailing);
        EXPECT_EQ(written["captures"][0].value("core:header_bytes", 0u), row.header);

        Recording reopened;
        reopened.take(readSigmfFile(metaPath));
        EXPECT_EQ(reopened.sampleRate(), source.sampleRate());
        EXPECT_EQ(reopened.iSamples(), source.iSamples());
        EXPECT_EQ(reopened.qSamples(), source.qSamples());
        EXPECT_EQ(reopened.info().centreFrequency, row.centre);
        EXPECT_EQ(reopened.info().startTime, row.start);
        EXPECT_EQ(reopened.info().files, (std::vector<std::string>{metaPath, path}));
        EXPECT_EQ(reopened.info().note, "");
        ASSERT_EQ(reopened.info().annotations.size(), 1u);
        EXPECT_EQ(reopened.info().annotations[0].lowFrequency, -100.0);
        EXPECT_EQ(reopened.info().annotations[0].label, "tag");
    }
}

TEST(DatasetMetadata, RefusesWhatItCannotDescribe)
{
    TempDir dir;
    const std::string pcm24 = dir.write("deep.wav", wav(1, 24, counting(60, 1), {}, {}));
    const std::string taken = dir.write("taken.cu8", counting(10, 1));
    dir.writeText("taken.sigmf-meta", "mine");
    const std::string refusal24 = "SigMF has no datatype for 24-bit samples: export the recording "
                                  "(File, Export selection) to annotate a copy of it";
    const struct
    {
        std::string path;
        std::string message;
    } rows[] = {
        {pcm24, refusal24},
        {taken, "Cannot save to " + dir.path("taken.sigmf-meta")
                    + ": the file exists already (open it to annotate the recording through it, "
                      "or move it away)"},
        {"", "This recording is held in memory: there is no file for SigMF metadata to describe"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        Recording source;
        if (row.path.empty())
            source.assign(1000, {1, 2}, {3, 4});
        else
            source.take(openRecording(row.path, FileFormat::Auto, "", 1000));
        EXPECT_EQ(thrownMessage([&] {
                      const DatasetFacts facts = datasetFactsOf(row.path, *source.samples(),
                                                                source.sampleRate(), source.info());
                      writeDatasetMetadata(datasetMetadataPath(row.path), facts, {});
                  }),
                  row.message);
    }
    EXPECT_EQ(fileText(dir.path("taken.sigmf-meta")), "mine");
    EXPECT_FALSE(std::filesystem::exists(dir.path("deep.sigmf-meta")));
}

// A file given the metadata's name while the save writes (after any look for
// one) is never replaced: the rename itself refuses a name that is taken.
TEST(DatasetMetadata, NameTakenMeanwhileIsNeverReplaced)
{
    enum Taken { byFile, byLink };
    for (const Taken taken : {byFile, byLink}) {
        SCOPED_TRACE(taken == byFile ? "a file" : "a dangling link");
        TempDir dir;
        const std::string raw = dir.write("rec.cu8", counting(10, 1));
        const std::string metaPath = datasetMetadataPath(raw);
        Recording source;
        source.take(openRecording(raw, FileFormat::Auto, "", 1000));
        const DatasetFacts facts = datasetFactsOf(raw, *source.samples(), 1000, source.info());
        std::string message;
        {
            // Another program takes the name as the new file is flushed.
            const SyncHook hook([&](int) {
                if (std::filesystem::exists(std::filesystem::symlink_status(metaPath)))
                    return;
                if (taken == byFile)
                    dir.writeText("rec.sigmf-meta", "theirs");
                else
                    std::filesystem::create_symlink("nowhere", metaPath);
            });
            message = thrownMessage([&] { writeDatasetMetadata(metaPath, facts, {}); });
        }
        EXPECT_EQ(message, "Cannot save to " + metaPath
                               + ": the file exists already (open it to annotate the recording "
                                 "through it, or move it away)");
        if (taken == byFile)
            EXPECT_EQ(fileText(metaPath), "theirs");
        else
            EXPECT_EQ(std::filesystem::read_symlink(metaPath), "nowhere");
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path("")))
            ++files;
        EXPECT_EQ(files, 2u);
    }
}
