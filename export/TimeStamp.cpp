// Calendar arithmetic on the proleptic Gregorian calendar (days since the epoch
// from a civil date and back), and the text and SYSTEMTIME forms.

#include "export/TimeStamp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int64_t secondsPerDay = 86400;
constexpr int64_t secondsPerHour = 3600;
constexpr int64_t secondsPerMinute = 60;
constexpr uint32_t nanosPerSecond = 1000000000;
constexpr uint32_t nanosPerMicro = 1000;
constexpr uint32_t nanosPerMilli = 1000000;
constexpr int fractionDigits = 9;
constexpr int64_t firstSystemTimeYear = 1601;
constexpr int64_t lastSystemTimeYear = 30827;

struct CivilDate
{
    int64_t year;
    unsigned month;
    unsigned day;
};

// Days from 1970-01-01 to the date (Hinnant's algorithm, eras of 400 years).
int64_t daysFromCivil(CivilDate date)
{
    const int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(y - era * 400);
    const unsigned dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

CivilDate civilFromDays(int64_t days)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const int64_t year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

unsigned daysInMonth(int64_t year, unsigned month)
{
    static constexpr unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Reads exactly `digits` decimal digits at text[at], advancing at.
bool readNumber(const std::string& text, std::size_t& at, int digits, unsigned& value)
{
    value = 0;
    for (int k = 0; k < digits; ++k, ++at) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[at] - '0');
    }
    return true;
}

bool expect(const std::string& text, std::size_t& at, char c)
{
    if (at >= text.size() || text[at] != c)
        return false;
    ++at;
    return true;
}

// The zone's offset east of UTC in seconds, from "Z", "+hh:mm", "+hhmm" or "+hh".
std::optional<int64_t> zoneOffset(const std::string& text, std::size_t at)
{
    if (at == text.size())
        return 0;
    if ((text[at] == 'Z' || text[at] == 'z') && at + 1 == text.size())
        return 0;
    if (text[at] != '+' && text[at] != '-')
        return std::nullopt;
    const int64_t sign = text[at] == '-' ? -1 : 1;
    ++at;
    unsigned hours = 0;
    unsigned minutes = 0;
    if (!readNumber(text, at, 2, hours))
        return std::nullopt;
    if (at < text.size()) {
        expect(text, at, ':');
        if (!readNumber(text, at, 2, minutes))
            return std::nullopt;
    }
    if (at != text.size() || hours > 23 || minutes > 59)
        return std::nullopt;
    return sign * (static_cast<int64_t>(hours) * secondsPerHour + minutes * secondsPerMinute);
}

} // namespace

std::optional<TimeStamp> TimeStamp::parse(const std::string& text)
{
    std::size_t at = 0;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(text, at, 4, year) || !expect(text, at, '-') || !readNumber(text, at, 2, month)
        || !expect(text, at, '-') || !readNumber(text, at, 2, day))
        return std::nullopt;
    if (at >= text.size() || (text[at] != 'T' && text[at] != 't' && text[at] != ' '))
        return std::nullopt;
    ++at;
    if (!readNumber(text, at, 2, hour) || !expect(text, at, ':') || !readNumber(text, at, 2, minute)
        || !expect(text, at, ':') || !readNumber(text, at, 2, second))
        return std::nullopt;
    uint32_t nanos = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        int digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits)
            if (digits < fractionDigits)
                nanos = nanos * 10 + static_cast<uint32_t>(text[at] - '0');
        if (digits == 0)
            return std::nullopt;
        for (; digits < fractionDigits; ++digits)
            nanos *= 10;
    }
    const std::optional<int64_t> zone = zoneOffset(text, at);
    // A leap second (60) is taken as the first second of the next minute.
    if (!zone || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23
        || minute > 59 || second > 60)
        return std::nullopt;
    TimeStamp stamp;
    stamp.seconds = daysFromCivil({year, month, day}) * secondsPerDay + hour * secondsPerHour
                    + minute * secondsPerMinute + second - *zone;
    stamp.nanoseconds = nanos;
    return stamp;
}

TimeStamp TimeStamp::plusSamples(uint64_t samples, double rate) const
{
    uint64_t whole = 0;
    uint64_t nanos = 0;
    if (std::floor(rate) == rate && rate < 0x1p32) {
        // Whole rates exactly: remainder * 10^9 stays below 2^32 * 10^9 < 2^64.
        const auto r = static_cast<uint64_t>(rate);
        whole = samples / r;
        nanos = (samples % r * nanosPerSecond + r / 2) / r;
    } else {
        const long double seconds = static_cast<long double>(samples) / rate;
        const long double wholeSeconds = std::floor(std::min(seconds, 0x1p62L));
        whole = static_cast<uint64_t>(wholeSeconds);
        nanos = static_cast<uint64_t>(std::llround((seconds - wholeSeconds) * nanosPerSecond));
    }
    TimeStamp result;
    const uint64_t totalNanos = nanoseconds + nanos;
    result.seconds = seconds + static_cast<int64_t>(whole) + static_cast<int64_t>(totalNanos / nanosPerSecond);
    result.nanoseconds = static_cast<uint32_t>(totalNanos % nanosPerSecond);
    return result;
}

std::string TimeStamp::isoText() const
{
    const int64_t days = (seconds >= 0 ? seconds : seconds - (secondsPerDay - 1)) / secondsPerDay;
    const int64_t inDay = seconds - days * secondsPerDay;
    const CivilDate date = civilFromDays(days);
    char text[64];
    const int written = std::snprintf(
        text, sizeof(text), "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(date.year),
        date.month, date.day, static_cast<long long>(inDay / secondsPerHour),
        static_cast<long long>(inDay % secondsPerHour / secondsPerMinute),
        static_cast<long long>(inDay % secondsPerMinute));
    std::string result(text, static_cast<std::size_t>(written));
    if (nanoseconds % nanosPerMicro == 0)
        std::snprintf(text, sizeof(text), ".%06uZ", nanoseconds / nanosPerMicro);
    else
        std::snprintf(text, sizeof(text), ".%09uZ", nanoseconds);
    return result + text;
}

std::array<unsigned char, 16> TimeStamp::systemTime() const
{
    std::array<unsigned char, 16> out{};
    const int64_t days = (seconds >= 0 ? seconds : seconds - (secondsPerDay - 1)) / secondsPerDay;
    const int64_t inDay = seconds - days * secondsPerDay;
    const CivilDate date = civilFromDays(days);
    if (date.year < firstSystemTimeYear || date.year > lastSystemTimeYear)
        return out;
    // 1970-01-01 was a Thursday (4).
    const int64_t weekday = ((days % 7) + 7 + 4) % 7;
    const int64_t fields[8] = {date.year, date.month, weekday, date.day,
                               inDay / secondsPerHour, inDay % secondsPerHour / secondsPerMinute,
                               inDay % secondsPerMinute, nanoseconds / nanosPerMilli};
    for (int k = 0; k < 8; ++k) {
        out[2 * k] = static_cast<unsigned char>(fields[k] & 0xFF);
        out[2 * k + 1] = static_cast<unsigned char>((fields[k] >> 8) & 0xFF);
    }
    return out;
}
