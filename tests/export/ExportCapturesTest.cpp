// A range of a recording retuned mid-file is exported with the centre frequency
// and start time of the capture holding its first sample.

#include "export/ExportSelection.h"
#include "tests/export/ExportTestFiles.h"

#include <gtest/gtest.h>

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
