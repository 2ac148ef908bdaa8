// Capture look-ups over the captures' sorted starts.

#include "io/CaptureLookup.h"

#include <algorithm>
#include <cmath>

std::optional<std::size_t> captureIndexAt(const RecordingInfo& info, uint64_t sample)
{
    const std::vector<RecordingCapture>& captures = info.captures;
    if (captures.empty())
        return std::nullopt;
    const auto after = std::upper_bound(
        captures.begin(), captures.end(), sample,
        [](uint64_t value, const RecordingCapture& capture) { return value < capture.sampleStart; });
    if (after == captures.begin())
        return 0;
    return static_cast<std::size_t>(after - captures.begin()) - 1;
}

std::optional<double> centreFrequencyAt(const RecordingInfo& info, uint64_t sample)
{
    if (const std::optional<std::size_t> index = captureIndexAt(info, sample))
        for (std::size_t k = *index + 1; k-- > 0;)
            if (const std::optional<double>& frequency = info.captures[k].frequency;
                frequency && std::isfinite(*frequency))
                return frequency;
    return info.centreFrequency;
}
