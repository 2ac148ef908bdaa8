#pragma once
// The bytes of an exported WAV file before its samples: RIFF, or RF64 with a
// "ds64" chunk when the sizes pass 32 bits, then "fmt ", "auxi" and the "data"
// chunk's header.

#include "export/TimeStamp.h"

#include <cstdint>
#include <optional>
#include <vector>

// A stereo sample format: integer PCM (8-bit unsigned, 16, 24 or 32-bit signed)
// or IEEE float (32 or 64-bit), little-endian.
struct WavFormat
{
    bool isFloat = false;
    uint16_t bits = 16;
};

// What the "auxi" chunk tells: the capture's start and stop, and its centre
// frequency in hertz (whole hertz from 1 to 2^32 - 1; others are written as 0,
// "unknown", which is all the chunk can say).
struct WavAuxi
{
    std::optional<TimeStamp> start;
    std::optional<TimeStamp> stop;
    std::optional<double> centreFrequency;
};

// The header of a file of frames stereo samples at sampleRate samples per
// second. RF64 when the file would pass 4 GB, or when forceRf64 is set.
std::vector<unsigned char> wavHeader(WavFormat format, uint32_t sampleRate, uint64_t frames,
                                     const WavAuxi& auxi, bool forceRf64 = false);
