#pragma once
// Test helper: small recordings written to disk in each format the panel opens,
// from I and Q sequences given by the test.

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace recordingfiles {

struct Samples
{
    std::vector<double> i;
    std::vector<double> q;
};

// A tone at frequency hz over seconds of samples at rate, with a little
// deterministic "noise" so no power is exactly zero.
inline Samples tone(uint32_t rate, double seconds, double hz, double amplitude = 0.5)
{
    const auto count = static_cast<std::size_t>(std::llround(rate * seconds));
    Samples s;
    s.i.resize(count);
    s.q.resize(count);
    uint32_t state = 12345;
    for (std::size_t k = 0; k < count; ++k) {
        state = state * 1664525u + 1013904223u;
        const double jitter = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 1e-3;
        const double phase = 2 * 3.14159265358979323846 * hz * static_cast<double>(k) / rate;
        s.i[k] = amplitude * std::cos(phase) + jitter;
        s.q[k] = amplitude * std::sin(phase) - jitter;
    }
    return s;
}

inline void appendU16(std::string& out, uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

inline void appendU32(std::string& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xff));
}

inline void appendFloat(std::string& out, double v)
{
    const float f = static_cast<float>(v);
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    appendU32(out, bits);
}

inline void writeBytes(const QString& path, const std::string& bytes)
{
    std::ofstream file(path.toStdString(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Interleaved little-endian 32-bit floats (IQW, SigMF "cf32_le").
inline void writeCf32(const QString& path, const Samples& s)
{
    std::string bytes;
    bytes.reserve(s.i.size() * 8);
    for (std::size_t k = 0; k < s.i.size(); ++k) {
        appendFloat(bytes, s.i[k]);
        appendFloat(bytes, s.q[k]);
    }
    writeBytes(path, bytes);
}

// SigMF pair; metaPath ends with ".sigmf-meta" unless a test wants otherwise, the
// data goes where the reader looks for it.
inline void writeSigmf(const QString& metaPath, const QString& dataPath, uint32_t rate,
                       const Samples& s)
{
    writeBytes(metaPath, "{\"global\": {\"core:datatype\": \"cf32_le\", \"core:sample_rate\": "
                             + std::to_string(rate)
                             + ", \"core:version\": \"1.0.0\"}, \"captures\": [], "
                               "\"annotations\": []}");
    writeCf32(dataPath, s);
}

// Canonical 44-byte-header stereo 32-bit float WAV: left I, right Q.
inline void writeWav(const QString& path, uint32_t rate, const Samples& s)
{
    const auto dataSize = static_cast<uint32_t>(s.i.size() * 8);
    std::string bytes = "RIFF";
    appendU32(bytes, 36 + dataSize);
    bytes += "WAVEfmt ";
    appendU32(bytes, 16);
    appendU16(bytes, 3); // IEEE float
    appendU16(bytes, 2);
    appendU32(bytes, rate);
    appendU32(bytes, rate * 8);
    appendU16(bytes, 8);
    appendU16(bytes, 32);
    bytes += "data";
    appendU32(bytes, dataSize);
    for (std::size_t k = 0; k < s.i.size(); ++k) {
        appendFloat(bytes, s.i[k]);
        appendFloat(bytes, s.q[k]);
    }
    writeBytes(path, bytes);
}

} // namespace recordingfiles
