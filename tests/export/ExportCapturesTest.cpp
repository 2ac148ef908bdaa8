// A range of a recording retuned mid-file is exported with the centre frequency
// and start time of the capture holding its first sample, and every later
// capture of the range.

#include "dsp/BandExtractor.h"
#include "export/ExportSelection.h"
#include "tests/export/ExportTestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

TEST(ExportCaptures, CentreAndTimeOfTheFirstSamplesCapture)
{
    TempDir dir;
    const std::string meta = dir.writeText(
        "src.sigmf-meta", R"({"global": {"core:datatype": "ri8", "core:sample_rate": 1000},
            "captures": [{"core:sample_start": 0, "core:frequency": 1e8, "core:datetime": "2024-05-01T12:00:00Z"},
                         {"core:sample_start": 600, "core:frequency": 2e8, "core:datetime": "2024-05-01T13:00:00Z"}],
            "annotations": []})");
    dir.write("src.sigmf-data", Bytes(1000, 1));
    Recording source;
    source.loadSigmf(meta);
    const struct
    {
        uint64_t first;
        double centre;
        std::string start;
    } rows[] = {
        {100, 1e8, "2024-05-01T12:00:00.100000Z"},
        {599, 1e8, "2024-05-01T12:00:00.599000Z"},
        {600, 2e8, "2024-05-01T13:00:00.000000Z"},
        {850, 2e8, "2024-05-01T13:00:00.250000Z"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        ExportRequest request;
        request.path = dir.path("out.sigmf-meta");
        request.first = row.first;
        request.end = row.first + 10;
        WorkControl control;
        exportSelection(exportSourceOf(source, {meta, dir.path("src.sigmf-data")}), request, control);
        Recording exported;
        exported.loadSigmf(request.path);
        EXPECT_EQ(exported.info().centreFrequency, row.centre);
        EXPECT_EQ(exported.info().startTime, row.start);
    }
}

// Every capture that holds samples of the export is kept, at the export's index
// (divided by the decimation of a band), with its own centre (plus the band's
// shift) and its start moved to that sample; annotations keep their own
// capture's centre. A band's shift is recorded in our namespace too.
TEST(ExportCaptures, EveryCaptureOfTheRangeKept)
{
    TempDir dir;
    const std::string meta = dir.writeText(
        "src.sigmf-meta", R"({"global": {"core:datatype": "ri8", "core:sample_rate": 1000},
            "captures": [{"core:sample_start": 0, "core:frequency": 1e8, "core:datetime": "2024-05-01T12:00:00Z"},
                         {"core:sample_start": 600, "core:frequency": 2e8, "core:datetime": "2024-05-01T13:00:00Z"},
                         {"core:sample_start": 601, "core:datetime": "2024-05-01T14:00:00Z"},
                         {"core:sample_start": 603, "core:frequency": 3e8},
                         {"core:sample_start": 701, "core:datetime": "2024-05-01T15:00:00Z"},
                         {"core:sample_start": 950, "core:frequency": 4e8}],
            "annotations": [{"core:sample_start": 600, "core:sample_count": 1,
                             "core:freq_lower_edge": 200000010, "core:freq_upper_edge": 200000020}]})");
    dir.write("src.sigmf-data", Bytes(1000, 1));
    Recording source;
    source.loadSigmf(meta);
    struct Capture
    {
        uint64_t start;
        double frequency;
        std::string datetime; // "-": none
    };
    const struct
    {
        std::optional<ExportBand> band;
        uint32_t decimation;
        std::vector<Capture> captures;
    } rows[] = {
        {{}, 1, {{0, 1e8, "2024-05-01T12:00:00.100000Z"}, {500, 2e8, "2024-05-01T13:00:00.000000Z"},
                 {501, 2e8, "2024-05-01T14:00:00.000000Z"}, {503, 3e8, "-"},
                 {601, 3e8, "2024-05-01T15:00:00.000000Z"}}},
        // Export sample m is source sample 100 + 4m: the captures at 601 and 603
        // both begin before sample 126 (source 604), which the later one holds;
        // sample 151 (source 704) is 3 ms into the last.
        {ExportBand{0, 200}, 4, {{0, 1e8, "2024-05-01T12:00:00.100000Z"}, {125, 2e8, "2024-05-01T13:00:00.000000Z"},
                                 {126, 3e8, "-"}, {151, 3e8, "2024-05-01T15:00:00.003000Z"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.decimation);
        ExportRequest request{dir.path("out.sigmf-meta"), 100, 900, 0.1, 0.9, row.band};
        WorkControl control;
        exportSelection(exportSourceOf(source, {meta, dir.path("src.sigmf-data")}), request, control);
        const nlohmann::json written = nlohmann::json::parse(fileBytes(request.path));
        Recording exported;
        exported.loadSigmf(request.path);
        ASSERT_EQ(exported.sampleCount(), 800 / row.decimation);
        const double shift = row.band ? BandExtractor(1000, row.band->low, row.band->high).mixFrequency() : 0.0;
        ASSERT_EQ(written["captures"].size(), row.captures.size());
        for (std::size_t k = 0; k < row.captures.size(); ++k) {
            const Capture& expected = row.captures[k];
            const nlohmann::json& capture = written["captures"][k];
            EXPECT_EQ(capture["core:sample_start"], expected.start) << k;
            EXPECT_EQ(capture["core:frequency"], expected.frequency + shift) << k;
            EXPECT_EQ(capture.value("core:datetime", "-"), expected.datetime) << k;
        }
        // The annotation in the second capture: its edges there, in the export's baseband.
        ASSERT_EQ(exported.info().annotations.size(), 1u);
        EXPECT_NEAR(exported.info().annotations[0].lowFrequency.value(), 10 - shift, 1e-6);
        EXPECT_NEAR(exported.info().annotations[0].highFrequency.value(), 20 - shift, 1e-6);

        const nlohmann::json& global = written["global"];
        EXPECT_EQ(global.contains("norvale:frequency_shift"), row.band.has_value());
        EXPECT_FALSE(global.contains("core:extensions") && !row.band);
        if (!row.band)
            continue;
        EXPECT_EQ(global["norvale:frequency_shift"], shift);
        EXPECT_EQ(global["core:extensions"],
                  nlohmann::json::parse(R"([{"name": "norvale", "version": "1.0.0", "optional": true}])"));
        EXPECT_NE(global["core:description"].get<std::string>().find(
                      "band 0 Hz to 200 Hz, its centre 100.00038146972656 Hz moved to 0 Hz"),
                  std::string::npos);
        // A band of the band: the shifts add up, the namespace declared once.
        ExportRequest again{dir.path("again.sigmf-meta"), 0, 200, 0, 0.8, ExportBand{10, 20}};
        exportSelection(exportSourceOf(exported, {request.path, dir.path("out.sigmf-data")}), again, control);
        const nlohmann::json twice = nlohmann::json::parse(fileBytes(again.path))["global"];
        EXPECT_EQ(twice["norvale:frequency_shift"], shift + BandExtractor(250, 10, 20).mixFrequency());
        EXPECT_EQ(twice["core:extensions"].size(), 1u);
    }
}
