// Every conversion an export makes keeps full scale where it was: a tone
// measured as the spectrum view measures it (Welch spectrum, channel power with
// the full scale of the stored datatype, offset binary's DC removed) reads the
// same dBm in the source and in the export, for every converted layout and for
// bands.

#include "dsp/BandExtractor.h"
#include "dsp/Spectrum.h"
#include "dsp/SpectrumMeasurements.h"
#include "io/SampleFormat.h"
#include "tests/export/ExportTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>

namespace {

constexpr uint32_t rate = 48000;
constexpr std::size_t count = 4 * rate;
constexpr double toneHz = 4800;
// Each side of the tone, hertz: the band measured.
constexpr double measuredHalfWidth = 960;
constexpr uint32_t fftSize = 1024;

// The channel power in dBm of [low, high] over samples [first, end), as the
// views compute it for the recording: full scale of its stored datatype (1 when
// held in memory), the range's mean taken off offset-binary samples.
double channelPowerDbm(const Recording& recording, uint64_t first, uint64_t end, double low, double high)
{
    std::vector<double> i(recording.iSamples().begin() + first, recording.iSamples().begin() + end);
    std::vector<double> q(recording.qSamples().begin() + first, recording.qSamples().begin() + end);
    if (recording.info().unsignedSamples) {
        const double meanI = std::accumulate(i.begin(), i.end(), 0.0) / double(i.size());
        const double meanQ = std::accumulate(q.begin(), q.end(), 0.0) / double(q.size());
        for (std::size_t k = 0; k < i.size(); ++k) {
            i[k] -= meanI;
            q[k] -= meanQ;
        }
    }
    const std::optional<StoredSamples> stored = recording.samples()->stored();
    const std::vector<double> power = welchSpectrum(i.data(), q.data(), i.size(), fftSize, fftSize, fftSize / 2);
    const BandMeasurements measured =
        measureBand({power, recording.sampleRate(), fftSize, 1.0}, low, high,
                    {stored ? fullScaleOf(stored->datatype) : 1.0, 1.0, 50.0});
    EXPECT_TRUE(measured.channelPowerDbm);
    return measured.channelPowerDbm.value_or(NAN);
}

} // namespace

TEST(ExportCalibration, EveryConversionKeepsTheDbm)
{
    enum Origin { raw, sigmf, wav, memory };
    const struct
    {
        Origin origin;
        std::string datatype; // of the source (for WAV: the reader's name)
        std::string ending;
        bool band;
        std::string written; // the export's datatype as its reader names it
    } rows[] = {
        {wav, "ci24_le", ".sigmf-meta", false, "ci32_le"},
        {wav, "ci24_le", ".sigmf", false, "ci32_le"},
        {sigmf, "ci8", ".wav", false, "ci16_le"},
        {raw, "ri8_le", ".wav", false, "ci16_le"},
        {sigmf, "ci16_be", ".wav", false, "ci16_le"},
        {raw, "ri16_le", ".wav", false, "ci16_le"},
        {raw, "cu16_le", ".wav", false, "ci32_le"},
        {raw, "ru16_be", ".wav", false, "ci32_le"},
        {raw, "ci32_be", ".wav", false, "ci32_le"},
        {raw, "cu32_le", ".wav", false, "cf64_le"},
        {raw, "ci64_le", ".wav", false, "cf64_le"},
        {raw, "cu64_be", ".wav", false, "cf64_le"},
        {raw, "cf32_be", ".wav", false, "cf32_le"},
        {raw, "rf64_le", ".wav", false, "cf64_le"},
        {memory, "", ".sigmf-meta", false, "cf64_le"},
        {memory, "", ".wav", false, "cf64_le"},
        {sigmf, "ci16_le", ".sigmf-meta", true, "cf32_le"},
        {sigmf, "cu8", ".sigmf-meta", true, "cf32_le"},
        {wav, "ci24_le", ".wav", true, "cf32_le"},
        {raw, "cf32_le", ".sigmf", true, "cf32_le"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.datatype + (row.band ? " band into " : " into ") + row.ending);
        // A tone at half full scale, quantised as the datatype stores it.
        const char kind = row.origin == memory ? 'f' : row.datatype[1];
        const int bits = row.origin == memory ? 64 : std::stoi(row.datatype.substr(2));
        const bool complex = row.origin == memory || row.datatype[0] == 'c';
        const double fullScale = row.origin == memory ? 1.0 : fullScaleOf(row.datatype);
        const double mid = kind == 'u' ? fullScale : 0.0;
        std::vector<double> i(count), q(count, 0.0);
        for (std::size_t k = 0; k < count; ++k) {
            const double phase = 2 * std::numbers::pi * toneHz / rate * double(k);
            i[k] = mid + 0.5 * fullScale * std::cos(phase);
            q[k] = complex ? mid + 0.5 * fullScale * std::sin(phase) : 0.0;
            if (kind != 'f') {
                i[k] = std::round(i[k]);
                q[k] = std::round(q[k]);
            }
        }
        TempDir dir;
        const Bytes data = storedValues(kind, bits, !row.datatype.ends_with("_be"), complex, i, q);
        Recording source;
        std::vector<std::string> files;
        if (row.origin == raw) {
            files = {dir.write("src.bin", data)};
            source.loadBinary(files[0], row.datatype, rate);
        } else if (row.origin == sigmf) {
            files = {dir.writeText("src.sigmf-meta", R"({"global": {"core:datatype": ")" + row.datatype
                                                         + R"(", "core:sample_rate": 48000}})"),
                     dir.write("src.sigmf-data", data)};
            source.loadSigmf(files[0]);
        } else if (row.origin == wav) {
            files = {dir.write("src.wav", wavSource(false, bits, rate, data, Bytes(16, 0), 0))};
            source.loadWav(files[0]);
        } else {
            source.assign(rate, i, q);
        }

        ExportRequest request;
        request.path = dir.path("out" + row.ending);
        request.first = count / 8;
        request.end = count - count / 8;
        if (row.band)
            request.band = ExportBand{toneHz - 2400, toneHz + 2400};
        WorkControl control;
        exportSelection(exportSourceOf(source, files), request, control);
        Recording exported;
        loadByEnding(exported, request.path);
        EXPECT_EQ(exported.samples()->stored()->datatype, row.written);

        // A tone of half full scale, full scale 1 V into 50 ohms: 2.5 mW, and a
        // quarter of it at the positive frequency of a real one.
        const double before = channelPowerDbm(source, request.first, request.end, toneHz - measuredHalfWidth,
                                              toneHz + measuredHalfWidth);
        EXPECT_NEAR(before, 10 * std::log10((complex ? 2.5 : 0.625)), 0.05);
        const double shift =
            row.band ? BandExtractor(rate, request.band->low, request.band->high, row.ending == ".wav").mixFrequency()
                     : 0.0;
        const double after = channelPowerDbm(exported, 0, exported.sampleCount(), toneHz - shift - measuredHalfWidth,
                                             toneHz - shift + measuredHalfWidth);
        EXPECT_NEAR(after, before, 0.01);
    }
}
