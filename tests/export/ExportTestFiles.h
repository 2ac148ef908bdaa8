#pragma once
// Helpers of the export tests: sample values stored in any layout, source files
// opened as the application opens them, and the bytes an export wrote.

#include "export/ExportSelection.h"
#include "io/Recording.h"
#include "tests/io/IoTestFiles.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

// Values stored as kind ('f', 'i', 'u') of bits each, I then Q (complex) or I
// only, in the given byte order.
inline Bytes storedValues(char kind, int bits, bool littleEndian, bool complex,
                          const std::vector<double>& i, const std::vector<double>& q)
{
    Bytes out;
    const int bytes = bits / 8;
    for (std::size_t k = 0; k < i.size(); ++k) {
        for (int part = 0; part < (complex ? 2 : 1); ++part) {
            const double value = part == 0 ? i[k] : q[k];
            uint64_t raw = 0;
            if (kind == 'f' && bits == 32) {
                const auto single = static_cast<float>(value);
                uint32_t word;
                std::memcpy(&word, &single, 4);
                raw = word;
            } else if (kind == 'f') {
                std::memcpy(&raw, &value, 8);
            } else if (kind == 'u') {
                raw = static_cast<uint64_t>(value);
            } else {
                raw = static_cast<uint64_t>(static_cast<int64_t>(value));
            }
            for (int b = 0; b < bytes; ++b)
                out.push_back(static_cast<unsigned char>(raw >> (8 * (littleEndian ? b : bytes - 1 - b))));
        }
    }
    return out;
}

// A canonical stereo WAV file with an "auxi" chunk of a start time and centre frequency.
inline Bytes wavSource(bool isFloat, int bits, uint32_t rate, const Bytes& data,
                       const Bytes& startSystemTime, uint32_t frequency)
{
    Bytes out;
    out.reserve(80 + data.size());
    append(out, "RIFF");
    appendLe(out, 4 + 24 + 44 + 8 + data.size(), 4);
    append(out, "WAVEfmt ");
    appendLe(out, 16, 4);
    appendLe(out, isFloat ? 3 : 1, 2);
    appendLe(out, 2, 2);
    appendLe(out, rate, 4);
    appendLe(out, uint64_t(rate) * bits / 4, 4);
    appendLe(out, bits / 4, 2);
    appendLe(out, bits, 2);
    append(out, "auxi");
    appendLe(out, 36, 4);
    out.insert(out.end(), startSystemTime.begin(), startSystemTime.end());
    out.resize(out.size() + 16, 0);
    appendLe(out, frequency, 4);
    append(out, "data");
    appendLe(out, data.size(), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline Bytes fileBytes(const std::string& path, uint64_t offset = 0, uint64_t size = UINT64_MAX)
{
    std::ifstream in(path, std::ios::binary);
    Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    offset = std::min<uint64_t>(offset, all.size());
    size = std::min<uint64_t>(size, all.size() - offset);
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(offset),
                 all.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

// The open recording as the window hands it to an export.
inline ExportSource exportSourceOf(const Recording& recording, std::vector<std::string> files)
{
    return ExportSource{recording.samples(), recording.sampleRate(), recording.info(), std::move(files)};
}

// Opens path by its ending, as "Auto" does.
inline void loadByEnding(Recording& recording, const std::string& path)
{
    const std::string ending = std::filesystem::path(path).extension().string();
    if (ending == ".wav")
        recording.loadWav(path);
    else if (ending == ".sigmf")
        recording.loadSigmfArchive(path);
    else
        recording.loadSigmf(path);
}

// The names in a folder.
inline std::set<std::string> folderNames(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}
