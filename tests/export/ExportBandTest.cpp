// Band exports: a tone in the band kept at its level and moved by the band's
// centre, a tone outside it filtered off, the rate divided, the annotations
// moved, clipped and dropped, and a WAV export of the same band with the same
// samples.

#include "dsp/BandExtractor.h"
#include "export/ExportMetadata.h"
#include "tests/export/ExportTestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <complex>
#include <numbers>

namespace {

// |Hann-weighted correlation| of samples [from, to) with a tone at frequency
// (cycles per sample): the tone's amplitude.
double toneAmplitude(const Recording& recording, double frequency, std::size_t from, std::size_t to)
{
    std::complex<double> sum;
    double weights = 0;
    for (std::size_t k = from; k < to; ++k) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(k - from) / double(to - from));
        const std::complex<double> x(recording.iSamples()[k], recording.qSamples()[k]);
        sum += w * x * std::polar(1.0, -2 * std::numbers::pi * frequency * double(k));
        weights += w;
    }
    return std::abs(sum) / weights;
}

RecordingAnnotation annotation(const std::string& label, uint64_t start, uint64_t count,
                               std::optional<double> low = {}, std::optional<double> high = {})
{
    RecordingAnnotation a{start, count, low, high, label, "", ""};
    nlohmann::json raw = {{"core:sample_start", start}, {"core:sample_count", count},
                          {"core:label", label}, {"core:uuid", "u-" + label}};
    if (low) {
        raw["core:freq_lower_edge"] = 1e9 + *low;
        raw["core:freq_upper_edge"] = 1e9 + *high;
    }
    a.sigmfFields = raw.dump();
    return a;
}

} // namespace

TEST(ExportBand, TwoTonesOneKept)
{
    // The tone outside lies just beyond the output's Nyquist frequency (31.25 kHz from the centre).
    constexpr double rate = 1e6, inBand = 120e3, outside = 160e3, level = 1000;
    constexpr std::size_t count = 200000, first = 1000, end = 181000;
    std::vector<double> i(count), q(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::complex<double> x = level * (std::polar(1.0, 2 * std::numbers::pi * inBand / rate * double(k))
                                                + std::polar(1.0, 2 * std::numbers::pi * outside / rate * double(k)));
        i[k] = x.real();
        q[k] = x.imag();
    }
    TempDir dir;
    const std::string meta = R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1000000},
        "captures": [{"core:sample_start": 0, "core:frequency": 1e9}], "annotations": [
        {"core:sample_start": 2000, "core:sample_count": 100, "core:freq_lower_edge": 1000110000,
         "core:freq_upper_edge": 1000180000, "core:label": "clipped"},
        {"core:sample_start": 2000, "core:sample_count": 100, "core:freq_lower_edge": 1000160000,
         "core:freq_upper_edge": 1000180000, "core:label": "outside"}]})";
    const std::vector<std::string> files = {dir.writeText("src.sigmf-meta", meta),
                                            dir.write("src.sigmf-data", storedValues('f', 32, true, true, i, q))};
    Recording source;
    source.loadSigmf(files[0]);

    const BandExtractor expected(rate, 100e3, 150e3);
    ASSERT_EQ(expected.decimation(), 16u);
    Recording exported[2];
    for (int k = 0; k < 2; ++k) {
        ExportRequest request{dir.path(k == 0 ? "band.sigmf-meta" : "band.wav"), first, end, 0.001, 0.181,
                              ExportBand{100e3, 150e3}};
        WorkControl control;
        exportSelection(exportSourceOf(source, files), request, control);
        loadByEnding(exported[k], request.path);
    }
    const Recording& band = exported[0];
    ASSERT_EQ(band.sampleCount(), (end - first + 15) / 16);
    EXPECT_EQ(band.sampleRate(), 62500u);
    EXPECT_EQ(band.iSamples(), exported[1].iSamples());
    EXPECT_EQ(band.qSamples(), exported[1].qSamples());
    EXPECT_EQ(band.info().centreFrequency, 1e9 + expected.mixFrequency());
    EXPECT_EQ(exported[1].info().centreFrequency, 1e9 + expected.mixFrequency());

    // Away from the ends, where the filter sees zeros beyond the range.
    const std::size_t margin = expected.taps().size() / 16 + 1;
    const std::size_t to = band.sampleCount() - margin;
    const double kept = toneAmplitude(band, (inBand - expected.mixFrequency()) / 62500, margin, to);
    EXPECT_LE(std::abs(20 * std::log10(kept / level)), 0.1);
    const double alias = std::remainder(outside - expected.mixFrequency(), 62500) / 62500;
    EXPECT_LE(20 * std::log10(toneAmplitude(band, alias, margin, to) / level), -60.0);

    const nlohmann::json written = nlohmann::json::parse(fileBytes(dir.path("band.sigmf-meta")));
    EXPECT_EQ(written["global"]["core:datatype"], "cf32_le");
    EXPECT_EQ(written["global"]["core:sample_rate"], 62500);
    // Plain decimals, never "1e+05".
    const std::string description = written["global"]["core:description"];
    EXPECT_NE(description.find("0.001 s to 0.181 s, band 100000 Hz to 150000 Hz"), std::string::npos) << description;
    EXPECT_EQ(description.find("e+"), std::string::npos) << description;
    const nlohmann::json& annotations = written["annotations"];
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_EQ(annotations[0]["core:label"], "clipped");
    EXPECT_EQ(annotations[0]["core:sample_start"], (2000 - first) / 16);
    EXPECT_EQ(annotations[0]["core:sample_count"], 7);
    EXPECT_EQ(annotations[0]["core:freq_lower_edge"], 1000110000);
    EXPECT_EQ(annotations[0]["core:freq_upper_edge"], 1e9 + 150e3);
}

TEST(ExportBand, AnnotationsMovedClippedAndDropped)
{
    // Out of order, to be sorted; edges in baseband as the reader gives them.
    const std::vector<RecordingAnnotation> source = {
        annotation("f", 390, 100),        annotation("a", 100, 50),
        annotation("b", 0, 10),           annotation("c", 130, 0),
        annotation("d", 200, 20, -10e3, 10e3), annotation("e", 210, 20, 30e3, 40e3),
    };
    struct Expected
    {
        std::string label;
        uint64_t start, count;
        std::optional<double> low = {}, high = {};
    };
    const struct
    {
        AnnotationWindow window;
        std::optional<double> centre; // the source's
        std::vector<Expected> expected;
    } rows[] = {
        {{120, 400, 1, {}, {}, 0}, 1e9,
         {{"a", 0, 30}, {"c", 10, 1}, {"d", 80, 20, 1e9 - 10e3, 1e9 + 10e3},
          {"e", 90, 20, 1e9 + 30e3, 1e9 + 40e3}, {"f", 270, 10}}},
        {{120, 400, 4, 0.0, 20e3, 10e3}, 1e9,
         {{"a", 0, 8}, {"c", 2, 1}, {"d", 20, 5, 1e9, 1e9 + 10e3}, {"f", 67, 3}}},
        // No centre frequency: edges in the export's baseband, the band's centre at 0 Hz.
        {{120, 400, 1, 0.0, 20e3, 10e3}, {}, {{"a", 0, 30}, {"c", 10, 1}, {"d", 80, 20, -10e3, 0.0}, {"f", 270, 10}}},
        {{0, 5, 1, {}, {}, 0}, {}, {{"b", 0, 5}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.window.decimation);
        RecordingInfo info;
        info.annotations = source;
        info.centreFrequency = row.centre;
        const nlohmann::ordered_json got = exportedAnnotations(info, row.window);
        ASSERT_EQ(got.size(), row.expected.size());
        for (std::size_t k = 0; k < got.size(); ++k) {
            const Expected& e = row.expected[k];
            EXPECT_EQ(got[k]["core:label"], e.label);
            EXPECT_EQ(got[k]["core:uuid"], "u-" + e.label);
            EXPECT_EQ(got[k]["core:sample_start"], e.start) << e.label;
            EXPECT_EQ(got[k]["core:sample_count"], e.count) << e.label;
            EXPECT_EQ(got[k].value("core:freq_lower_edge", -1.0), e.low.value_or(-1.0)) << e.label;
            EXPECT_EQ(got[k].value("core:freq_upper_edge", -1.0), e.high.value_or(-1.0)) << e.label;
        }
    }
}

// A band of an inner range is filtered with the samples around it: its samples,
// the first and last included, are those of the whole recording's export cut
// afterwards. At both ends of the recording the filter still sees zeros.
TEST(ExportBand, InnerRangeAsExactAsTheWhole)
{
    constexpr double rate = 1e6;
    constexpr std::size_t count = 100000;
    std::vector<double> i(count), q(count);
    uint32_t noise = 12345;
    for (std::size_t k = 0; k < count; ++k) {
        noise = noise * 1664525u + 1013904223u;
        const std::complex<double> x = 0.5 * std::polar(1.0, 2 * std::numbers::pi * 120e3 / rate * double(k))
                                       + double(noise >> 8) / double(1u << 24) - 0.5;
        i[k] = x.real();
        q[k] = x.imag();
    }
    Recording source;
    source.assign(rate, i, q);
    TempDir dir;
    const ExportBand band{100e3, 150e3};
    const BandExtractor extractor(rate, band.low, band.high);
    const uint64_t d = extractor.decimation();
    const auto exported = [&](uint64_t first, uint64_t end) {
        ExportRequest request{dir.path("band.sigmf-meta"), first, end, 0, 0, band};
        WorkControl control;
        exportSelection(exportSourceOf(source, {}), request, control);
        EXPECT_EQ(control.fraction(), 1.0);
        Recording recording;
        recording.loadSigmf(request.path);
        return std::pair{recording.iSamples(), recording.qSamples()};
    };
    const auto whole = exported(0, count);
    // Ranges a filter's length from either end, nearer, and reaching the recording's end.
    for (const uint64_t first : {d * 1000, d * 3, uint64_t(0)}) {
        for (const uint64_t end : {count - d * 1000 - 5, count - 2, count}) {
            SCOPED_TRACE(std::to_string(first) + " to " + std::to_string(end));
            const auto inner = exported(first, end);
            ASSERT_EQ(inner.first.size(), (end - first + d - 1) / d);
            for (std::size_t m = 0; m < inner.first.size(); ++m) {
                ASSERT_EQ(inner.first[m], whole.first[first / d + m]) << m;
                ASSERT_EQ(inner.second[m], whole.second[first / d + m]) << m;
            }
        }
    }
}

// Rates that are not whole stay exact: a band's, read back from the export and
// moving its start time; WAV, which holds whole rates only, refuses them.
TEST(ExportBand, RatesWithFractionsKept)
{
    TempDir dir;
    const std::string meta = dir.writeText("src.sigmf-meta", R"({"global": {"core:datatype": "ci8",
        "core:sample_rate": 1000000}, "captures": [{"core:sample_start": 0, "core:datetime": "2024-05-01T12:00:00Z"}]})");
    const std::vector<std::string> files = {meta, dir.write("src.sigmf-data", Bytes(400000, 1))};
    Recording source;
    source.loadSigmf(meta);
    // The narrowest band: the rate divided by 2^16.
    ExportRequest request{dir.path("narrow.sigmf-meta"), 0, 200000, 0, 0.2, ExportBand{123399, 123401}};
    WorkControl control;
    exportSelection(exportSourceOf(source, files), request, control);
    Recording narrow;
    narrow.loadSigmf(request.path);
    EXPECT_EQ(narrow.sampleRate(), 15.2587890625);
    EXPECT_EQ(narrow.sampleCount(), 4u);

    // Its own export starts 3 samples later: 3 / 15.2587890625 s = 0.196608 s.
    ExportRequest cut{dir.path("cut.sigmf-meta"), 3, 4, 0, 0, {}};
    exportSelection(exportSourceOf(narrow, {request.path, dir.path("narrow.sigmf-data")}), cut, control);
    Recording again;
    again.loadSigmf(cut.path);
    EXPECT_EQ(again.sampleRate(), 15.2587890625);
    EXPECT_EQ(again.info().startTime, "2024-05-01T12:00:00.196608Z");

    cut.path = dir.path("cut.wav");
    EXPECT_EQ(thrownMessage([&] {
                  exportSelection(exportSourceOf(narrow, {request.path, dir.path("narrow.sigmf-data")}), cut, control);
              }),
              "Cannot export to " + cut.path + ": a WAV file holds whole sample rates only, and this export's is "
              "15.2587890625 samples per second (.sigmf-meta and .sigmf keep it)");
    EXPECT_FALSE(std::filesystem::exists(cut.path));
}
