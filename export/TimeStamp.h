#pragma once
// Instants in UTC: read from a recording's start time, moved by a number of
// samples, written as SigMF's ISO 8601 text or a WAV "auxi" SYSTEMTIME.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct TimeStamp
{
    int64_t seconds = 0;       // since 1970-01-01T00:00:00Z
    uint32_t nanoseconds = 0;  // 0 ... 999,999,999

    // "2024-05-01T12:00:00Z", with a fraction of any length, 'T' or a blank
    // between date and time, and a zone of Z, +hh:mm, +hhmm or +hh; a time with
    // no zone (as the WAV reader gives it) is taken as UTC. Years 0000 to 9999.
    // Nothing when the text is not such a time or a field is out of range.
    static std::optional<TimeStamp> parse(const std::string& text);

    // This instant plus samples at rate samples per second (rate > 0, fractions
    // kept), rounded to the nearest nanosecond (exactly for whole rates).
    TimeStamp plusSamples(uint64_t samples, double rate) const;

    // "2024-05-01T12:00:00.250000Z": microseconds, or nanoseconds when the
    // instant falls between two microseconds.
    std::string isoText() const;

    // A Windows SYSTEMTIME: year, month, day of week (0 Sunday), day, hour,
    // minute, second and milliseconds (truncated) as little-endian 16-bit values;
    // all zero (no time) for years outside 1601 to 30827.
    std::array<unsigned char, 16> systemTime() const;
};
