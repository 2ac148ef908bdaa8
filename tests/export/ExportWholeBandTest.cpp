// Whole-band exports of every datatype family from raw, SigMF, WAV and memory
// sources into a SigMF pair, a SigMF archive and WAV: stored bytes copied where
// the format holds them, the values at the same full scale otherwise, metadata
// that still holds, and every file re-opened by the readers.

#include "export/ExportSelection.h"
#include "export/Sha512.h"
#include "io/TarArchive.h"
#include "tests/export/ExportTestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

constexpr uint32_t rate = 1000;
constexpr double centre = 1e8;
// 2024-05-01 (a Wednesday) 12:00:00.250 as a SYSTEMTIME.
const Bytes wavStart = {0xE8, 0x07, 5, 0, 3, 0, 1, 0, 12, 0, 0, 0, 0, 0, 0xFA, 0};

std::string sourceMetadata(const std::string& datatype)
{
    return R"({"global": {"core:datatype": ")" + datatype + R"(", "core:sample_rate": 1000,
        "core:version": "1.0.0", "core:author": "A. Person", "core:description": "old",
        "core:dataset": "src.sigmf-data", "core:num_channels": 1, "core:offset": 0,
        "core:sha512": "00", "core:extensions": [{"name": "my", "version": "1.0.0",
        "optional": true}], "my:gain": 12},
        "captures": [{"core:sample_start": 0, "core:frequency": 1e8,
                      "core:datetime": "2024-05-01T12:00:00Z"}], "annotations": []})";
}

// Values that use the type's range, its extremes included.
std::vector<double> values(char kind, int bits, std::size_t count, int seed)
{
    std::vector<double> v(count);
    const double span = std::ldexp(1.0, bits);
    const double low = kind == 'i' ? -span / 2 : 0.0;
    for (std::size_t k = 0; k < count; ++k) {
        const double step = std::fmod(static_cast<double>(k * 2654435761u + seed), span);
        v[k] = kind == 'f' ? (static_cast<double>(k % 1000) - 499.5) * 0.37 * seed : low + step;
    }
    if (kind != 'f') {
        v[3] = low;
        v[4] = low + span - 1;
    }
    return v;
}

// The metadata of a SigMF export: the pair's file, or the archive's member
// (whose names are checked).
nlohmann::json metadataOf(const std::string& path)
{
    if (path.ends_with(".sigmf-meta"))
        return nlohmann::json::parse(fileBytes(path));
    const InputFile archive(path);
    std::vector<std::string> names;
    Bytes meta;
    forEachTarMember(archive, [&](const TarMember& member) {
        names.push_back(member.name);
        if (member.name.ends_with(".sigmf-meta"))
            meta = fileBytes(path, member.offset, member.size);
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"out/out.sigmf-meta", "out/out.sigmf-data"}));
    return nlohmann::json::parse(meta);
}

} // namespace

TEST(ExportWholeBand, EveryDatatypeIntoEveryContainer)
{
    enum Origin { raw, sigmf, wav, memory };
    const struct
    {
        Origin origin;
        std::string datatype; // of the source (for WAV: the reader's name)
        char kind;
        int bits;
        bool littleEndian, complex;
        std::string sigmfOut; // datatype of a SigMF export
        bool sigmfCopied;
        std::string wavOut;   // the WAV export's datatype as the reader names it
        bool wavCopied;
        std::size_t count = 5000;
        // Converted values keep full scale: written = (read - offset) * gain.
        double wavGain = 1, wavOffset = 0, sigmfGain = 1;
    } rows[] = {
        {sigmf, "ci8", 'i', 8, true, true, "ci8", true, "ci16_le", false, 5000, 256},
        {sigmf, "cu8", 'u', 8, true, true, "cu8", true, "cu8_le", true},
        {sigmf, "ci16_le", 'i', 16, true, true, "ci16_le", true, "ci16_le", true},
        {sigmf, "ci16_be", 'i', 16, false, true, "ci16_be", true, "ci16_le", false},
        {sigmf, "ci32_le", 'i', 32, true, true, "ci32_le", true, "ci32_le", true},
        {sigmf, "cf32_le", 'f', 32, true, true, "cf32_le", true, "cf32_le", true},
        {sigmf, "cf64_le", 'f', 64, true, true, "cf64_le", true, "cf64_le", true},
        {sigmf, "ri16_le", 'i', 16, true, false, "ri16_le", true, "ci16_le", false},
        {raw, "cu16_be", 'u', 16, false, true, "cu16_be", true, "ci32_le", false, 5000, 65536, 32768},
        // More than one block of reading and writing.
        {raw, "ci8_le", 'i', 8, true, true, "ci8", true, "ci16_le", false, 1200000, 256},
        {wav, "cu8_le", 'u', 8, true, true, "cu8", true, "cu8_le", true},
        {wav, "ci16_le", 'i', 16, true, true, "ci16_le", true, "ci16_le", true},
        {wav, "ci24_le", 'i', 24, true, true, "ci32_le", false, "ci24_le", true, 5000, 1, 0, 256},
        {wav, "ci32_le", 'i', 32, true, true, "ci32_le", true, "ci32_le", true},
        {wav, "cf32_le", 'f', 32, true, true, "cf32_le", true, "cf32_le", true},
        {wav, "cf64_le", 'f', 64, true, true, "cf64_le", true, "cf64_le", true},
        {memory, "", 'f', 64, true, true, "cf64_le", false, "cf64_le", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.datatype + " from " + std::to_string(row.origin));
        TempDir dir;
        const std::vector<double> i = values(row.kind, row.bits, row.count, 1);
        const std::vector<double> q = row.complex ? values(row.kind, row.bits, row.count, 2)
                                                  : std::vector<double>(row.count, 0.0);
        const Bytes data = storedValues(row.kind, row.bits, row.littleEndian, row.complex, i, q);
        Recording source;
        std::vector<std::string> files;
        if (row.origin == raw) {
            files = {dir.write("src.bin", data)};
            source.loadBinary(files[0], row.datatype, rate);
        } else if (row.origin == sigmf) {
            files = {dir.writeText("src.sigmf-meta", sourceMetadata(row.datatype)),
                     dir.write("src.sigmf-data", data)};
            source.loadSigmf(files[0]);
        } else if (row.origin == wav) {
            files = {dir.write("src.wav", wavSource(row.kind == 'f', row.bits, rate, data, wavStart,
                                                    static_cast<uint32_t>(centre)))};
            source.loadWav(files[0]);
        } else {
            source.assign(rate, i, q);
        }
        const std::optional<StoredSamples> stored = source.samples()->stored();
        const std::size_t sampleBytes = data.size() / row.count;
        const uint64_t first = 3, end = row.count - 5;

        for (const std::string ending : {".sigmf-meta", ".sigmf", ".wav"}) {
            SCOPED_TRACE(ending);
            const bool toWav = ending == ".wav";
            ExportRequest request;
            request.path = dir.path("out" + ending);
            request.first = first;
            request.end = end;
            request.startSeconds = 0.003;
            request.stopSeconds = (end - 1) / double(rate);
            WorkControl control;
            exportSelection(exportSourceOf(source, files), request, control);
            EXPECT_EQ(control.fraction(), 1.0);

            Recording exported;
            loadByEnding(exported, request.path);
            ASSERT_EQ(exported.sampleCount(), end - first);
            EXPECT_EQ(exported.sampleRate(), rate);
            const double gain = toWav ? row.wavGain : row.sigmfGain;
            const double offset = toWav ? row.wavOffset : 0.0;
            for (uint64_t k = first; k < end; ++k) {
                ASSERT_EQ(exported.iSamples()[k - first], (source.iSamples()[k] - offset) * gain) << k;
                ASSERT_EQ(exported.qSamples()[k - first], (source.qSamples()[k] - offset) * gain) << k;
            }
            const std::optional<StoredSamples> written = exported.samples()->stored();
            ASSERT_TRUE(written);
            const std::string dataPath = ending == ".sigmf-meta" ? dir.path("out.sigmf-data") : request.path;
            const Bytes writtenBytes = fileBytes(dataPath, written->offset, (end - first) * written->sampleSize);
            if (toWav ? row.wavCopied : row.sigmfCopied) {
                ASSERT_TRUE(stored);
                EXPECT_EQ(writtenBytes, Bytes(data.begin() + first * sampleBytes, data.begin() + end * sampleBytes));
            }
            const bool timed = row.origin == sigmf || row.origin == wav;
            const std::string startTime = row.origin == wav ? "12:00:00.253" : "12:00:00.003";
            if (toWav) {
                EXPECT_EQ(written->datatype, row.wavOut);
                EXPECT_EQ(exported.info().startTime, timed ? "2024-05-01 " + startTime : "");
                EXPECT_EQ(exported.info().centreFrequency, timed ? std::optional<double>(centre) : std::nullopt);
                continue;
            }
            const nlohmann::json meta = metadataOf(request.path);
            const nlohmann::json& global = meta["global"];
            EXPECT_EQ(global["core:datatype"], row.sigmfOut);
            EXPECT_EQ(global["core:sample_rate"], rate);
            EXPECT_EQ(global["core:version"], "1.2.0");
            Sha512 digest;
            digest.update(writtenBytes.data(), writtenBytes.size());
            EXPECT_EQ(global["core:sha512"], digest.hexDigest());
            EXPECT_EQ(global["core:description"].get<std::string>().find(
                          row.origin == memory ? "Exported from a recording, 0.003 s to " : "Exported from src"),
                      0u);
            for (const char* gone : {"core:dataset", "core:num_channels", "core:offset"})
                EXPECT_FALSE(global.contains(gone)) << gone;
            EXPECT_EQ(global.contains("my:gain"), row.origin == sigmf);
            EXPECT_EQ(global.contains("core:extensions"), row.origin == sigmf);
            EXPECT_EQ(global.value("core:author", ""), row.origin == sigmf ? "A. Person" : "");
            const nlohmann::json& capture = meta["captures"][0];
            EXPECT_EQ(capture["core:sample_start"], 0);
            EXPECT_EQ(capture.value("core:frequency", 0.0), timed ? centre : 0.0);
            EXPECT_EQ(capture.value("core:datetime", ""), timed ? "2024-05-01T" + startTime + "000Z" : "");
        }
    }
}
