// SigMF reading: sample rate and datatype from the metadata, the data file beside
// it, the 8-bit type names and the refused or malformed metadata.

#include "io/Recording.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

namespace {

std::string metadata(const std::string& rate, const std::string& datatype)
{
    std::string global;
    if (!rate.empty())
        global += "\"core:sample_rate\": " + rate;
    if (!datatype.empty())
        global += std::string(global.empty() ? "" : ", ") + "\"core:datatype\": " + datatype;
    return "{\"global\": {" + global + ", \"core:version\": \"1.0.0\"}, \"captures\": [], "
           "\"annotations\": []}";
}

// A SigMF pair name.sigmf-meta / name.sigmf-data; returns the metadata path.
std::string writePair(const TempDir& dir, const std::string& name, const std::string& meta,
                      const Bytes& data)
{
    dir.write(name + ".sigmf-data", data);
    return dir.writeText(name + ".sigmf-meta", meta);
}

TEST(LoadSigmf, RateDatatypeAndSamples)
{
    TempDir dir;
    Bytes singles;
    for (float value : {1.0f, -1.0f, 0.5f, 2.0f})
        appendFloat(singles, value);
    const Bytes bytes = {0xFF, 0x80, 0x01, 0x7F};
    const struct
    {
        std::string rate;
        std::string datatype;
        Bytes data;
        uint32_t expectedRate;
        std::vector<double> i, q;
    } rows[] = {
        {"1e6", "\"cf32_le\"", singles, 1000000, {1.0, 0.5}, {-1.0, 2.0}},
        {"2500000", "\"ri16_be\"", {0x01, 0x02, 0xFF, 0xFE}, 2500000, {258, -2}, {0, 0}},
        {"1000.9", "\"ci8_le\"", bytes, 1000, {-1, 1}, {-128, 127}},
        {"4294967295", "\"ru8_le\"", {7}, 4294967295u, {7}, {0}},
        {"3e9", "\"ru8_le\"", {7}, 3000000000u, {7}, {0}},
        {"true", "\"ru8_le\"", {7}, 1, {7}, {0}},
        // SigMF's 8-bit names carry no byte order.
        {"8000", "\"ci8\"", bytes, 8000, {-1, 1}, {-128, 127}},
        {"8000", "\"cu8\"", bytes, 8000, {255, 1}, {128, 127}},
        {"8000", "\"ri8\"", bytes, 8000, {-1, -128, 1, 127}, {0, 0, 0, 0}},
        {"8000", "\"ru8\"", bytes, 8000, {255, 128, 1, 127}, {0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rate + " " + row.datatype);
        Recording recording;
        recording.loadSigmf(writePair(dir, "rec", metadata(row.rate, row.datatype), row.data));
        EXPECT_TRUE(recording.isLoaded());
        EXPECT_EQ(recording.sampleRate(), row.expectedRate);
        EXPECT_EQ(recording.sampleCount(), row.i.size());
        EXPECT_EQ(recording.iSamples(), row.i);
        EXPECT_EQ(recording.qSamples(), row.q);
    }
}

TEST(LoadSigmf, DataFileBesideTheMetadata)
{
    TempDir dir;
    const std::string meta = metadata("1000", "\"ru8_le\"");
    // x.json and any other name without ".sigmf-meta" get ".sigmf-data" appended.
    const struct
    {
        std::string metaName;
        std::string dataName;
    } rows[] = {
        {"b.sigmf-meta", "b.sigmf-data"},
        {"x.json", "x.json.sigmf-data"},
        {"a-longer-name.json", "a-longer-name.json.sigmf-data"},
        {".sigmf-meta", ".sigmf-data"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.metaName);
        dir.write(row.dataName, {42, 43, 44});
        Recording recording;
        recording.loadSigmf(dir.writeText(row.metaName, meta));
        EXPECT_EQ(recording.iSamples(), (std::vector<double>{42, 43, 44}));
    }
    Recording recording;
    EXPECT_EQ(thrownMessage([&] {
                  recording.loadSigmf(dir.writeText("lonely.sigmf-meta", meta));
              }),
              "Cannot open file: " + dir.path("lonely.sigmf-data"));
}

TEST(LoadSigmf, RefusedMetadata)
{
    TempDir dir;
    const Bytes data = {1, 2, 3, 4};
    const std::string rateRefused = "Invalid sample rate in SigMF metadata file: ";
    const std::string range = " (must be 1 to 4294967295 samples per second)";
    const struct
    {
        std::string meta;
        std::string message;
    } rows[] = {
        {metadata("", "\"cf32_le\""), "Sample rate was not found in SigMF metadata file"},
        {metadata("null", "\"cf32_le\""), "Sample rate was not found in SigMF metadata file"},
        {"{}", "Sample rate was not found in SigMF metadata file"},
        {"{\"core:sample_rate\": 1000}", "Sample rate was not found in SigMF metadata file"},
        {metadata("1000", ""), "Data type was not found in SigMF metadata file"},
        {metadata("0", "\"ru8_le\""), rateRefused + "0" + range},
        {metadata("0.5", "\"ru8_le\""), rateRefused + "0.5" + range},
        {metadata("-1", "\"ru8_le\""), rateRefused + "-1" + range},
        {metadata("-48000.0", "\"ru8_le\""), rateRefused + "-48000.0" + range},
        {metadata("5e9", "\"ru8_le\""), rateRefused + "5000000000.0" + range},
        {metadata("4294967296", "\"ru8_le\""), rateRefused + "4294967296" + range},
        {metadata("1e400", "\"ru8_le\""),
         "[json.exception.out_of_range.406] number overflow parsing '1e400'"},
        {metadata("false", "\"ru8_le\""), rateRefused + "false" + range},
        // The rate is checked before the datatype is looked up.
        {metadata("0", ""), rateRefused + "0" + range},
        {metadata("\"fast\"", "\"ru8_le\""),
         "[json.exception.type_error.302] type must be number, but is string"},
        {metadata("[48000]", "\"ru8_le\""),
         "[json.exception.type_error.302] type must be number, but is array"},
        {metadata("1000", "8"), "[json.exception.type_error.302] type must be string, but is number"},
        {metadata("1000", "\"ci16\""), "Invalid datatype string"},
        {metadata("1000", "\"cf32\""), "Invalid datatype string"},
        {metadata("1000", "\"ci8_LE\""), "Invalid endianness: LE"},
        {metadata("1000", "\"ci32_le\""), "File size is not a multiple of sample size"},
        {"[1, 2]", "<type error>"},
        {"{\"global\": 5}", "<type error>"},
        {"{\"global\": {", "<parse error>"},
        {"", "<parse error>"},
        {"{} {}", "<parse error>"},
        {"// comment\n{}", "<parse error>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.meta);
        Recording recording;
        const std::string message =
            thrownMessage([&] { recording.loadSigmf(writePair(dir, "bad", row.meta, data)); });
        if (row.message == "<parse error>")
            EXPECT_EQ(message.rfind("[json.exception.parse_error.", 0), 0u) << message;
        else if (row.message == "<type error>")
            EXPECT_EQ(message.rfind("[json.exception.type_error.", 0), 0u) << message;
        else
            EXPECT_EQ(message, row.message);
        EXPECT_FALSE(recording.isLoaded());
    }
    Recording recording;
    const std::string message =
        thrownMessage([&] { recording.loadSigmf(dir.path("missing.sigmf-meta")); });
    EXPECT_EQ(message.rfind("[json.exception.parse_error.", 0), 0u) << message;
}

} // namespace
