// SigMF reading: sample rate and datatype from the metadata, the data file beside
// it, the 8-bit type names and the refused or malformed metadata.

#include "io/Recording.h"
#include "io/SigmfFile.h"
#include "tests/io/IoTestFiles.h"

#include <gtest/gtest.h>

#include <optional>

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
        double expectedRate;
        std::vector<double> i, q;
    } rows[] = {
        {"1e6", "\"cf32_le\"", singles, 1000000, {1.0, 0.5}, {-1.0, 2.0}},
        {"2500000", "\"ri16_be\"", {0x01, 0x02, 0xFF, 0xFE}, 2500000, {258, -2}, {0, 0}},
        // Rates are kept exactly, fractions too (a band export's may have one).
        {"1000.9", "\"ci8_le\"", bytes, 1000.9, {-1, 1}, {-128, 127}},
        {"15.2587890625", "\"ci8_le\"", bytes, 15.2587890625, {-1, 1}, {-128, 127}},
        {"66666.67", "\"ci8_le\"", bytes, 66666.67, {-1, 1}, {-128, 127}},
        {"0.5", "\"ci8_le\"", bytes, 0.5, {-1, 1}, {-128, 127}},
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
        // The ending is recognised in any letter case.
        {"c.SIGMF-META", "c.sigmf-data"},
        {"d.Sigmf-Meta", "d.sigmf-data"},
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
              "Cannot open \"" + dir.path("lonely.sigmf-data") + "\": No such file or directory");
}

TEST(LoadSigmf, RefusedMetadata)
{
    TempDir dir;
    const Bytes data = {1, 2, 3, 4};
    const std::string rateRefused = "Invalid sample rate in SigMF metadata file: ";
    const std::string range = " (must be above 0 and below 4294967296 samples per second)";
    const std::string named = "The metadata file \"bad.sigmf-meta\" ";
    const std::string readAs = "Cannot read \"" + dir.path("bad.sigmf-data") + "\" as \"";
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
        {metadata("-1", "\"ru8_le\""), rateRefused + "-1" + range},
        {metadata("-48000.0", "\"ru8_le\""), rateRefused + "-48000.0" + range},
        {metadata("5e9", "\"ru8_le\""), rateRefused + "5000000000.0" + range},
        {metadata("4294967296", "\"ru8_le\""), rateRefused + "4294967296" + range},
        {metadata("1e400", "\"ru8_le\""),
         "The metadata file \"bad.sigmf-meta\" is not valid JSON: a number is too large ('1e400')"},
        {metadata("false", "\"ru8_le\""), rateRefused + "false" + range},
        // The rate is checked before the datatype is looked up.
        {metadata("0", ""), rateRefused + "0" + range},
        {metadata("\"fast\"", "\"ru8_le\""),
         named + "gives \"core:sample_rate\" as a string (\"fast\"), where SigMF has a number of samples per second"},
        {metadata("[48000]", "\"ru8_le\""),
         named + "gives \"core:sample_rate\" as an array ([48000]), where SigMF has a number of samples per second"},
        {metadata("1000", "8"), named + "gives \"core:datatype\" as a number (8), where SigMF has a text such as \"cf32_le\""},
        {metadata("1000", "\"ci16\""), readAs + "ci16\": it is not a datatype such as \"ci16_le\""},
        {metadata("1000", "\"cf32\""), readAs + "cf32\": it is not a datatype such as \"ci16_le\""},
        {metadata("1000", "\"ci8_LE\""), readAs + "ci8_LE\": its byte order must be \"le\" or \"be\""},
        {metadata("1000", "\"cf33_le\""), readAs + "cf33_le\": values of 33 bits are not supported (only 8, 16, 32 or 64)"},
        {metadata("1000", "\"ci32_le\""), "\"" + dir.path("bad.sigmf-data") + "\" holds 4 bytes, less than one ci32_le sample (8 bytes)"},
        {"[1, 2]", named + "gives the whole document as an array ([1,2]), where SigMF has an object"},
        {"{\"global\": 5}", named + "gives \"global\" as a number (5), where SigMF has an object"},
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
        if (row.message == "<parse error>") {
            // A syntax error names the file and says where.
            EXPECT_EQ(message.rfind("The metadata file \"bad.sigmf-meta\" is not valid JSON: ", 0), 0u)
                << message;
            EXPECT_NE(message.find(" (line "), std::string::npos) << message;
        }
        else
            EXPECT_EQ(message, row.message);
        EXPECT_FALSE(recording.isLoaded());
    }
    Recording recording;
    EXPECT_EQ(thrownMessage([&] { recording.loadSigmf(dir.path("missing.sigmf-meta")); }),
              "Cannot open \"" + dir.path("missing.sigmf-meta") + "\": No such file or directory");
    // Where a syntax error lies, in lines and columns.
    EXPECT_EQ(thrownMessage([&] {
                  recording.loadSigmf(writePair(dir, "lines", "{\"global\": {\n  \"a\": 1,\n  x}}", data));
              }),
              "The metadata file \"lines.sigmf-meta\" is not valid JSON: syntax error while parsing "
              "object key - invalid literal; last read: '1,<U+000A>  x'; expected string literal (line 3, column 3)");
}

// Metadata with extra global members and a captures array, both as JSON text.
std::string metadataWith(const std::string& globalExtra, const std::string& captures = "[]")
{
    return "{\"global\": {\"core:sample_rate\": 1000, \"core:datatype\": \"ri8\""
           + globalExtra + "}, \"captures\": " + captures + ", \"annotations\": []}";
}

TEST(LoadSigmf, MetadataDetails)
{
    TempDir dir;
    const Bytes samples = {1, 2, 3, 4, 5, 6};
    // A non-conforming dataset: two header bytes and one trailing byte around 1, 2, 3.
    dir.write("capture.cfile", {0xAA, 0xBB, 1, 2, 3, 0xCC});
    const std::string ncd = ", \"core:dataset\": \"capture.cfile\", \"core:trailing_bytes\": 1";
    const std::string channels = "SigMF recordings with 2 channels are not supported: Norvale "
                                 "reads one channel of I/Q";
    const auto outside = [&dir](const std::string& dataset) {
        return "Cannot read the dataset of " + dir.path("details.sigmf-meta") + ": its core:dataset \""
               + dataset + "\" is not the name of a file in the metadata's own folder";
    };
    const struct
    {
        const char* name;
        std::string meta;
        std::string message; // empty: loads
        std::vector<double> i;
        std::optional<double> centre;
        std::string start;
    } rows[] = {
        {"one channel", metadataWith(", \"core:num_channels\": 1"), "", {1, 2, 3, 4, 5, 6}, {}, ""},
        {"two channels", metadataWith(", \"core:num_channels\": 2"), channels, {}, {}, ""},
        {"sixteen channels", metadataWith(", \"core:num_channels\": 16"),
         "SigMF recordings with 16 channels are not supported: Norvale reads one channel of I/Q",
         {}, {}, ""},
        {"no channel", metadataWith(", \"core:num_channels\": 0"),
         "Invalid core:num_channels in SigMF metadata file: 0 (must be a whole number of at "
         "least 1)", {}, {}, ""},
        {"first capture", metadataWith("", "[{\"core:sample_start\": 0, \"core:frequency\": "
                                           "2.4e9, \"core:datetime\": \"2024-05-01T12:00:00Z\"}, "
                                           "{\"core:frequency\": 5}]"),
         "", {1, 2, 3, 4, 5, 6}, 2.4e9, "2024-05-01T12:00:00Z"},
        {"frequency not a number", metadataWith("", "[{\"core:frequency\": \"high\"}]"), "",
         {1, 2, 3, 4, 5, 6}, {}, ""},
        {"dataset", metadataWith(ncd, "[{\"core:header_bytes\": 2}]"), "", {1, 2, 3}, {}, ""},
        {"dataset, global header", metadataWith(ncd + ", \"core:header_bytes\": 2"), "",
         {1, 2, 3}, {}, ""},
        {"header and trailer fill the file", metadataWith(ncd, "[{\"core:header_bytes\": 5}]"),
         "SigMF header and trailing bytes (5 and 1) leave no samples in the 6-byte dataset", {},
         {}, ""},
        {"header in a later capture",
         metadataWith(ncd, "[{\"core:header_bytes\": 2}, {\"core:header_bytes\": 2}]"),
         "SigMF datasets with header bytes between captures are not supported", {}, {}, ""},
        {"header not a number", metadataWith("", "[{\"core:header_bytes\": \"two\"}]"),
         "Invalid core:header_bytes in SigMF metadata file: \"two\" (must be a whole number of "
         "bytes)", {}, {}, ""},
        {"dataset missing", metadataWith(", \"core:dataset\": \"gone.cfile\""),
         "Cannot open \"" + dir.path("gone.cfile") + "\": No such file or directory", {}, {}, ""},
        // The capture at sample 0 gives the centre, the start and the header, wherever it is listed.
        {"captures out of order",
         metadataWith(ncd, "[{\"core:sample_start\": 2, \"core:frequency\": 5e9, \"core:datetime\": "
                           "\"2024-05-01T13:00:00Z\"}, {\"core:sample_start\": 0, \"core:frequency\": 2.4e9, "
                           "\"core:datetime\": \"2024-05-01T12:00:00Z\", \"core:header_bytes\": 2}]"),
         "", {1, 2, 3}, 2.4e9, "2024-05-01T12:00:00Z"},
        // A dataset is read beside its metadata only, the file there or not.
        {"dataset elsewhere", metadataWith(", \"core:dataset\": \"" + dir.path("capture.cfile") + "\""),
         outside(dir.path("capture.cfile")), {}, {}, ""},
        {"dataset in the folder above", metadataWith(", \"core:dataset\": \"../capture.cfile\""),
         outside("../capture.cfile"), {}, {}, ""},
        {"dataset in a folder", metadataWith(", \"core:dataset\": \"sub/capture.cfile\""),
         outside("sub/capture.cfile"), {}, {}, ""},
        {"dataset a folder", metadataWith(", \"core:dataset\": \"..\""), outside(".."), {}, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        recording.loadBinary(dir.write("previous.bin", {9}), "ru8_le", 8.0);
        const std::string meta = writePair(dir, "details", row.meta, samples);
        EXPECT_EQ(thrownMessage([&] { recording.loadSigmf(meta); }),
                  row.message.empty() ? "<no exception>" : row.message);
        if (row.message.empty()) {
            EXPECT_EQ(recording.iSamples(), row.i);
            EXPECT_FALSE(recording.info().unsignedSamples);
        } else {
            EXPECT_EQ(recording.iSamples(), std::vector<double>{9});
            EXPECT_TRUE(recording.info().unsignedSamples);
        }
        EXPECT_EQ(recording.info().centreFrequency, row.centre);
        EXPECT_EQ(recording.info().startTime, row.start);
    }
}

// Each annotation as one line: start, count, edges ("-" without) and texts.
std::vector<std::string> annotationLines(const Recording& recording)
{
    std::vector<std::string> lines;
    for (const RecordingAnnotation& a : recording.info().annotations) {
        auto edge = [](const std::optional<double>& hz) {
            return hz ? std::to_string(static_cast<long long>(*hz)) : std::string("-");
        };
        lines.push_back(std::to_string(a.sampleStart) + " " + std::to_string(a.sampleCount) + " "
                        + edge(a.lowFrequency) + " " + edge(a.highFrequency) + " " + a.label + "|"
                        + a.comment);
    }
    return lines;
}

TEST(LoadSigmf, AnnotationsKeptOrLeftOut)
{
    TempDir dir;
    const std::string entries =
        "[{\"core:sample_start\": 1, \"core:sample_count\": 3, \"core:freq_lower_edge\": 99000, "
        "\"core:freq_upper_edge\": 101500, \"core:label\": \"burst\", \"core:description\": "
        "\"QPSK\"},"
        " {\"core:sample_start\": 0, \"core:sample_count\": 6, \"core:description\": \"all\"},"
        " {\"core:sample_start\": 4.0, \"core:sample_count\": 0, \"core:comment\": \"x\"},"
        // Left out: partial, negative, fractional, text, one edge, edges out of
        // order or not numbers, a label that is not text, an entry not an object.
        " {\"core:sample_start\": 1},"
        " {\"core:sample_count\": 1},"
        " {\"core:sample_start\": -1, \"core:sample_count\": 2},"
        " {\"core:sample_start\": 1.5, \"core:sample_count\": 2},"
        " {\"core:sample_start\": \"1\", \"core:sample_count\": 2},"
        " {\"core:sample_start\": 1, \"core:sample_count\": 2, \"core:freq_lower_edge\": 5},"
        " {\"core:sample_start\": 1, \"core:sample_count\": 2, \"core:freq_lower_edge\": 9, "
        "\"core:freq_upper_edge\": 5},"
        " {\"core:sample_start\": 1, \"core:sample_count\": 2, \"core:freq_lower_edge\": \"a\", "
        "\"core:freq_upper_edge\": 5},"
        " {\"core:sample_start\": 1, \"core:sample_count\": 2, \"core:label\": 7},"
        " 42, null, []]";
    auto meta = [&](const std::string& captures, const std::string& annotations) {
        return "{\"global\": {\"core:sample_rate\": 1000, \"core:datatype\": \"ri8\"}, "
               "\"captures\": " + captures + ", \"annotations\": " + annotations + "}";
    };
    const struct
    {
        const char* name;
        std::string meta;
        std::vector<std::string> lines;
    } rows[] = {
        // Edges are made baseband by taking off the centre frequency...
        {"centred", meta("[{\"core:sample_start\": 0, \"core:frequency\": 100000}]", entries),
         {"1 3 -1000 1500 burst|QPSK", "0 6 - - |all", "4 0 - - |x"}},
        // ... and taken as baseband without one.
        {"baseband", meta("[]", entries),
         {"1 3 99000 101500 burst|QPSK", "0 6 - - |all", "4 0 - - |x"}},
        {"not a list", meta("[]", "{\"core:sample_start\": 0}"), {}},
        {"none", meta("[]", "null"), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        recording.loadSigmf(writePair(dir, "annotated", row.meta, {1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(annotationLines(recording), row.lines);
    }
}

Bytes textBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// Captures in the order of their starts, and annotation edges made baseband
// with the centre of the capture that holds their start.
TEST(LoadSigmf, CapturesAndTheirCentres)
{
    TempDir dir;
    const std::string entries =
        "[{\"core:sample_start\": 1, \"core:sample_count\": 1, \"core:freq_lower_edge\": 1000100, "
        "\"core:freq_upper_edge\": 1000200}, {\"core:sample_start\": 4, \"core:sample_count\": 1, "
        "\"core:freq_lower_edge\": 2000100, \"core:freq_upper_edge\": 2000200}]";
    const struct
    {
        const char* name;
        std::string captures;
        std::vector<std::string> shown; // start frequency datetime
        std::vector<std::string> lines;
    } rows[] = {
        {"retuned at 3", "[{\"core:sample_start\": 0, \"core:frequency\": 1e6, \"core:datetime\": \"T0\"}, "
                         "{\"core:sample_start\": 3, \"core:frequency\": 2e6, \"core:datetime\": \"T1\"}]",
         {"0 1000000 T0", "3 2000000 T1"}, {"1 1 100 200 |", "4 1 100 200 |"}},
        // Listed out of order; one without a usable start is left out.
        {"out of order", "[{\"core:sample_start\": 3, \"core:frequency\": 2e6}, {\"core:frequency\": 9}, "
                         "{\"core:sample_start\": 0, \"core:frequency\": 1e6}]",
         {"0 1000000 ", "3 2000000 "}, {"1 1 100 200 |", "4 1 100 200 |"}},
        // A capture without a frequency goes on with the one before it.
        {"second without frequency", "[{\"core:frequency\": 1e6}, {\"core:sample_start\": 3}]",
         {"0 1000000 ", "3 - "}, {"1 1 100 200 |", "4 1 1000100 1000200 |"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        recording.loadSigmf(writePair(dir, "captured",
                                      "{\"global\": {\"core:sample_rate\": 10, \"core:datatype\": \"ri8\"}, "
                                      "\"captures\": " + row.captures + ", \"annotations\": " + entries + "}",
                                      {1, 2, 3, 4, 5, 6}));
        std::vector<std::string> shown;
        for (const RecordingCapture& c : recording.info().captures)
            shown.push_back(std::to_string(c.sampleStart) + " "
                            + (c.frequency ? std::to_string(static_cast<long long>(*c.frequency)) : "-")
                            + " " + c.datetime);
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(annotationLines(recording), row.lines);
    }
}

TEST(LoadSigmfArchive, EachRecordingCanBeChosen)
{
    TempDir dir;
    const Bytes meta = textBytes(metadata("1000", "\"ri8\""));
    const std::string path = dir.write(
        "three.sigmf", tarArchive({{"x/x.sigmf-meta", meta}, {"x/x.sigmf-data", {1}},
                                   {"y/y.sigmf-meta", meta}, {"y/y.sigmf-data", {2}},
                                   {"z.sigmf-meta", meta}, {"z.sigmf-data", {3}}}));
    EXPECT_EQ(sigmfArchiveRecordings(path), (std::vector<std::string>{"x/x", "y/y", "z"}));
    for (std::size_t k = 0; k < 3; ++k) {
        Recording recording;
        recording.take(readSigmfArchive(path, k));
        EXPECT_EQ(recording.iSamples(), std::vector<double>{double(k + 1)});
    }
    EXPECT_EQ(thrownMessage([&] { readSigmfArchive(path, 3); }), "SigMF archive holds 3 recordings, not 4");
}

TEST(LoadSigmfArchive, RecordingsAndRefusals)
{
    TempDir dir;
    const Bytes meta = textBytes(metadata("1000", "\"ci8\""));
    const Bytes data = {1, 2, 3, 4};
    const Bytes otherData = {7, 8};
    const TarEntry folder{"rec/", {}, '5'};
    const TarEntry recMeta{"rec/rec.sigmf-meta", meta};
    const TarEntry recData{"rec/rec.sigmf-data", data};
    const Bytes one = tarArchive({folder, recMeta, recData});
    Bytes truncated(one.begin(), one.begin() + 512 * 4 + 3);
    TarEntry longer = recMeta;
    longer.declaredSize = 5000;
    // Metadata over more than one block, said to be 10 bytes long.
    TarEntry shorter = recMeta;
    shorter.data.resize(700, ' ');
    shorter.declaredSize = 10;
    const std::string longName(120, 'n');
    auto pax = [](const std::string& path) {
        const std::string record = " path=" + path + "\n";
        return TarEntry{"PaxHeader", textBytes(std::to_string(record.size() + 3) + record), 'x'};
    };
    const struct
    {
        const char* name;
        Bytes archive;
        std::string message; // empty: loads
        std::vector<double> i, q;
        std::string note;
    } rows[] = {
        {"one recording", one, "", {1, 3}, {2, 4}, ""},
        {"two recordings",
         tarArchive({recMeta, recData, {"b.sigmf-meta", meta}, {"b.sigmf-data", otherData}}), "",
         {1, 3}, {2, 4}, "The archive holds 2 recordings; this is \"rec\" (1 of 2)"},
        {"data before metadata", tarArchive({recData, recMeta}), "", {1, 3}, {2, 4}, ""},
        {"long name in a pax header",
         tarArchive({pax(longName + ".sigmf-meta"), {"short", meta},
                     pax(longName + ".sigmf-data"), {"short2", otherData}}),
         "", {7}, {8}, ""},
        {"truncated", truncated,
         "SigMF archive is truncated: \"rec/rec.sigmf-data\" should hold 4 bytes, but the file "
         "ends after 3 of them", {}, {}, ""},
        {"member size too large", tarArchive({longer, recData}),
         "SigMF archive is truncated: \"rec/rec.sigmf-meta\" should hold 5000 bytes, but the "
         "file ends after 2560 of them", {}, {}, ""},
        {"member size too small", tarArchive({shorter, recData}),
         "SigMF archive is damaged: no valid tar header at byte 1024", {}, {}, ""},
        {"missing data member", tarArchive({recMeta, {"rec/other.sigmf-data", data}}),
         "SigMF archive holds no dataset for \"rec/rec.sigmf-meta\" (expected "
         "\"rec/rec.sigmf-data\")", {}, {}, ""},
        {"no metadata member", tarArchive({recData}),
         "SigMF archive holds no recording: it has no .sigmf-meta file", {}, {}, ""},
        {"two channels",
         tarArchive({{"m.sigmf-meta", textBytes(metadataWith(", \"core:num_channels\": 2"))},
                     {"m.sigmf-data", data}}),
         "SigMF recordings with 2 channels are not supported: Norvale reads one channel of I/Q",
         {}, {}, ""},
        {"not a tar", meta, "Not a SigMF archive: the file is not a tar archive", {}, {}, ""},
        {"empty", {}, "Not a SigMF archive: the file is not a tar archive", {}, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        recording.loadBinary(dir.write("previous.bin", {9, 9}), "ri8_le", 8.0);
        const std::string path = dir.write("archive.sigmf", row.archive);
        EXPECT_EQ(thrownMessage([&] { recording.loadSigmfArchive(path); }),
                  row.message.empty() ? "<no exception>" : row.message);
        if (row.message.empty()) {
            EXPECT_EQ(recording.sampleRate(), 1000u);
            EXPECT_EQ(recording.iSamples(), row.i);
            EXPECT_EQ(recording.qSamples(), row.q);
        } else {
            EXPECT_EQ(recording.sampleRate(), 8u);
            EXPECT_EQ(recording.iSamples(), (std::vector<double>{9, 9}));
        }
        EXPECT_EQ(recording.info().note, row.note);
    }
    // An archive given as the metadata file is read as an archive.
    Recording recording;
    recording.loadSigmf(dir.write("archive.sigmf-meta", one));
    EXPECT_EQ(recording.iSamples(), (std::vector<double>{1, 3}));
}

// Metadata whose value `x:deep` is `arrays` arrays inside each other, in the
// global object (so the whole document nests arrays + 2 levels) or in an
// annotation (arrays + 3); `closed` false leaves them open.
std::string nestedMetadata(std::size_t arrays, bool inAnnotation = false, bool closed = true)
{
    const std::string deep = std::string(arrays, '[') + (closed ? std::string(arrays, ']') : "");
    if (inAnnotation)
        return R"({"global": {"core:datatype": "ri8", "core:sample_rate": 1000}, "captures": [],
                   "annotations": [{"core:sample_start": 0, "core:sample_count": 1, "x:deep": )"
               + deep + "}]}";
    return R"({"global": {"core:datatype": "ri8", "core:sample_rate": 1000, "x:deep": )" + deep
           + R"(}, "captures": [], "annotations": []})";
}

// Metadata nested deeper than 512 levels is refused while it is read, before
// any deep value exists to copy or destroy; 512 levels load.
TEST(LoadSigmf, DeeplyNestedMetadata)
{
    TempDir dir;
    const Bytes data = {1, 2};
    const std::string tooDeep = "The metadata file \"deep.sigmf-meta\" nests deeper than 512 levels";
    std::string objects; // 100,000 objects inside each other
    for (int k = 0; k < 100000; ++k)
        objects += "{\"a\": ";
    const struct
    {
        const char* name;
        std::string meta;
        std::string message; // empty: loads
    } rows[] = {
        {"512 levels", nestedMetadata(510), ""},
        {"512 levels in an annotation", nestedMetadata(509, true), ""},
        {"513 levels", nestedMetadata(511), tooDeep},
        {"513 levels in an annotation", nestedMetadata(510, true), tooDeep},
        {"100,000 levels", nestedMetadata(100000), tooDeep},
        {"100,000 levels never closed", nestedMetadata(100000, false, false), tooDeep},
        {"objects 100,000 deep", objects + "1" + std::string(100000, '}'), tooDeep},
        // A syntax error before the depth is reached is what the file is refused for.
        {"syntax error first", "{\"global\": x, \"b\": " + std::string(100000, '['),
         "The metadata file \"deep.sigmf-meta\" is not valid JSON: syntax error while parsing value - "
         "invalid literal; last read: '\"global\": x' (line 1, column 12)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recording recording;
        EXPECT_EQ(thrownMessage([&] { recording.loadSigmf(writePair(dir, "deep", row.meta, data)); }),
                  row.message.empty() ? "<no exception>" : row.message);
        EXPECT_EQ(recording.isLoaded(), row.message.empty());
    }
    // The annotation 512 levels deep is kept whole, to be written back as it was.
    Recording recording;
    recording.loadSigmf(writePair(dir, "deep", nestedMetadata(509, true), data));
    ASSERT_EQ(recording.info().annotations.size(), 1u);
    EXPECT_EQ(recording.info().annotations[0].sigmfFields,
              R"({"core:sample_start":0,"core:sample_count":1,"x:deep":)" + std::string(509, '[')
                  + std::string(509, ']') + "}");

    // An archive's metadata member is named as its other refusals name it.
    const std::string deepMeta = nestedMetadata(100000);
    const std::string archive = dir.write(
        "deep.sigmf", tarArchive({{"a/a.sigmf-meta", Bytes(deepMeta.begin(), deepMeta.end())},
                                  {"a/a.sigmf-data", data}}));
    EXPECT_EQ(thrownMessage([&] { readSigmfArchive(archive); }),
              "The metadata file \"a/a.sigmf-meta\" nests deeper than 512 levels");
}

} // namespace
