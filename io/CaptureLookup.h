#pragma once
// Which capture of a recording holds a sample, and the centre frequency that
// applies there: a recording with several captures may be retuned mid-file.

#include "io/RecordingContents.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// Index of the last capture starting at or before `sample` (the first capture
// for samples before it); nothing when the recording lists no captures.
std::optional<std::size_t> captureIndexAt(const RecordingInfo& info, uint64_t sample);

// The centre frequency of the capture holding `sample`: its own, or the nearest
// earlier capture's that gives one, or the recording's centre frequency.
std::optional<double> centreFrequencyAt(const RecordingInfo& info, uint64_t sample);
