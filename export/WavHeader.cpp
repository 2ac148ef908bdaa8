// Chunk layout as the WAV reader walks it: "auxi" before "data", whose size in
// an RF64 file is 0xFFFFFFFF and given in "ds64".

#include "export/WavHeader.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr uint16_t formatPcm = 1;
constexpr uint16_t formatFloat = 3;
constexpr uint16_t channels = 2;
constexpr uint32_t fmtBytes = 16;
// riff size, data size, sample count and an empty table.
constexpr uint32_t ds64Bytes = 28;
// Start SYSTEMTIME, stop SYSTEMTIME, centre frequency: what the reader takes.
constexpr uint32_t auxiBytes = 36;
constexpr uint32_t chunkHeaderBytes = 8;
constexpr uint32_t sizeInDs64 = 0xFFFFFFFF;
constexpr double maxAuxiFrequency = std::numeric_limits<uint32_t>::max();

void put(std::vector<unsigned char>& out, const char* id)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<unsigned char>(id[k]));
}

void putLe(std::vector<unsigned char>& out, uint64_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out.push_back(static_cast<unsigned char>(value >> (8 * k)));
}

} // namespace

std::vector<unsigned char> wavHeader(WavFormat format, uint32_t sampleRate, uint64_t frames,
                                     const WavAuxi& auxi, bool forceRf64)
{
    const uint32_t frameBytes = channels * format.bits / 8u;
    const uint64_t dataBytes = frames * frameBytes;
    const uint64_t plainHeader = 12 + (chunkHeaderBytes + fmtBytes) + (chunkHeaderBytes + auxiBytes)
                                 + chunkHeaderBytes;
    // Frames are whole numbers of 16-bit units, so the data needs no pad byte.
    const bool rf64 = forceRf64 || plainHeader - 8 + dataBytes >= sizeInDs64;
    const uint64_t headerBytes = plainHeader + (rf64 ? chunkHeaderBytes + ds64Bytes : 0);
    const uint64_t riffBytes = headerBytes - 8 + dataBytes;

    std::vector<unsigned char> out;
    out.reserve(static_cast<std::size_t>(headerBytes));
    put(out, rf64 ? "RF64" : "RIFF");
    putLe(out, rf64 ? sizeInDs64 : riffBytes, 4);
    put(out, "WAVE");
    if (rf64) {
        put(out, "ds64");
        putLe(out, ds64Bytes, 4);
        putLe(out, riffBytes, 8);
        putLe(out, dataBytes, 8);
        putLe(out, frames, 8);
        putLe(out, 0, 4);
    }
    put(out, "fmt ");
    putLe(out, fmtBytes, 4);
    putLe(out, format.isFloat ? formatFloat : formatPcm, 2);
    putLe(out, channels, 2);
    putLe(out, sampleRate, 4);
    putLe(out, uint64_t(sampleRate) * frameBytes, 4);
    putLe(out, frameBytes, 2);
    putLe(out, format.bits, 2);

    put(out, "auxi");
    putLe(out, auxiBytes, 4);
    for (const std::optional<TimeStamp>& time : {auxi.start, auxi.stop}) {
        const std::array<unsigned char, 16> system = time ? time->systemTime() : std::array<unsigned char, 16>{};
        out.insert(out.end(), system.begin(), system.end());
    }
    uint64_t hertz = 0;
    if (auxi.centreFrequency) {
        const double rounded = std::round(*auxi.centreFrequency);
        if (rounded >= 1.0 && rounded <= maxAuxiFrequency)
            hertz = static_cast<uint64_t>(rounded);
    }
    putLe(out, hertz, 4);

    put(out, "data");
    putLe(out, rf64 ? sizeInDs64 : dataBytes, 4);
    return out;
}
