// Good, damaged and hostile recordings for the soak walk.

#include "tests/soak/SoakFiles.h"

#include "tests/panel/RecordingFiles.h"

#include <QDir>

#include <cmath>
#include <string>

using namespace recordingfiles;

namespace {

// A chirp with a burst and noise, so that every view has something to show.
Samples scene(uint32_t rate, double seconds)
{
    Samples s;
    const auto n = static_cast<size_t>(rate * seconds);
    uint64_t state = 12345;
    for (size_t k = 0; k < n; ++k) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double noise = double(state >> 40) / double(1ull << 24) - 0.5;
        const double t = double(k) / rate;
        const double phase = 2 * M_PI * (0.05 * rate * t + 0.1 * rate * t * t / seconds);
        const double burst = (t > 0.4 * seconds && t < 0.5 * seconds) ? 0.4 : 0.0;
        s.i.push_back(0.3 * std::cos(phase) + burst + 0.01 * noise);
        s.q.push_back(0.3 * std::sin(phase) + 0.01 * noise);
    }
    return s;
}

std::string u8Bytes(const Samples& s)
{
    std::string bytes;
    for (size_t k = 0; k < s.i.size(); ++k) {
        bytes += static_cast<char>(static_cast<int>(std::lround(127.5 + 120 * s.i[k])) & 0xFF);
        bytes += static_cast<char>(static_cast<int>(std::lround(127.5 + 120 * s.q[k])) & 0xFF);
    }
    return bytes;
}

void writeText(const QString& path, const std::string& text)
{
    writeBytes(path, text);
}

SoakFile entry(const QString& path, int format = 0, const QString& datatype = QString(), const QString& rate = QString())
{
    return SoakFile{path, format, datatype, rate};
}

} // namespace

QList<SoakFile> writeSoakFiles(const QString& folder)
{
    const QDir dir(folder);
    QList<SoakFile> files;
    const Samples small = scene(100000, 1.0);
    const Samples wide = scene(1000000, 0.3);

    // Good: a SigMF pair with two captures and annotations, a WAV, raw files.
    writeCf32(dir.filePath("scene.sigmf-data"), small);
    writeText(dir.filePath("scene.sigmf-meta"),
              R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 100000, "core:version": "1.0.0"},)"
              R"( "captures": [{"core:sample_start": 0, "core:frequency": 433920000},)"
              R"( {"core:sample_start": 60000, "core:frequency": 434000000}],)"
              R"( "annotations": [{"core:sample_start": 40000, "core:sample_count": 10000,)"
              R"( "core:freq_lower_edge": 433900000, "core:freq_upper_edge": 433940000, "core:label": "burst"}]})");
    files.append(entry(dir.filePath("scene.sigmf-meta")));
    writeSigmf(dir.filePath("wide.sigmf-meta"), dir.filePath("wide.sigmf-data"), 1000000, wide);
    files.append(entry(dir.filePath("wide.sigmf-meta")));
    writeWav(dir.filePath("audio.wav"), 48000, scene(48000, 1.0));
    files.append(entry(dir.filePath("audio.wav")));
    writeBytes(dir.filePath("rtl.cu8"), u8Bytes(small));
    files.append(entry(dir.filePath("rtl.cu8"), 0, QString(), "2048000"));
    writeCf32(dir.filePath("capture.iqw"), small);
    files.append(entry(dir.filePath("capture.iqw"), 4, QString(), "100000"));
    writeCf32(dir.filePath("capture.raw"), small);
    files.append(entry(dir.filePath("capture.raw"), 3, "cf32_le", "250000"));

    // Damaged: cut short, not what they claim, empty, wrong rate or datatype.
    writeWav(dir.filePath("cut.wav"), 8000, scene(8000, 1.0));
    QFile::resize(dir.filePath("cut.wav"), 1001);
    files.append(entry(dir.filePath("cut.wav")));
    writeText(dir.filePath("notwav.wav"), "ID3 this is an mp3 really");
    files.append(entry(dir.filePath("notwav.wav")));
    writeText(dir.filePath("empty.wav"), "");
    files.append(entry(dir.filePath("empty.wav")));
    writeText(dir.filePath("broken.sigmf-meta"), R"({"global": {"core:datatype": "cf32_le", )");
    files.append(entry(dir.filePath("broken.sigmf-meta")));
    writeText(dir.filePath("nodata.sigmf-meta"),
              R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1000}, "captures": [], "annotations": []})");
    files.append(entry(dir.filePath("nodata.sigmf-meta")));
    writeCf32(dir.filePath("zerorate.sigmf-data"), small);
    writeText(dir.filePath("zerorate.sigmf-meta"),
              R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 0}, "captures": [], "annotations": []})");
    files.append(entry(dir.filePath("zerorate.sigmf-meta")));
    writeCf32(dir.filePath("strange.sigmf-data"), small);
    writeText(dir.filePath("strange.sigmf-meta"),
              R"({"global": {"core:datatype": "cf33_le", "core:sample_rate": "fast"}, "captures": {}, "annotations": 7})");
    files.append(entry(dir.filePath("strange.sigmf-meta")));
    files.append(entry(dir.filePath("capture.raw"), 3, "ci99_xx", "1000"));
    files.append(entry(dir.filePath("capture.raw"), 3, "cf32_le", "abc"));
    files.append(entry(dir.filePath("capture.iqw"), 4, QString(), ""));
    files.append(entry(dir.filePath("missing.sigmf-meta")));
    files.append(entry(dir.filePath("scene.sigmf-meta"), 7));
    files.append(entry(folder));
    // Hostile: metadata nested far deeper than any reader should follow.
    std::string deep = R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1000, "x:deep": )";
    deep += std::string(100000, '[') + std::string(100000, ']') + R"(}, "captures": [], "annotations": []})";
    writeCf32(dir.filePath("deep.sigmf-data"), scene(1000, 1.0));
    writeText(dir.filePath("deep.sigmf-meta"), deep);
    files.append(entry(dir.filePath("deep.sigmf-meta")));
    return files;
}
