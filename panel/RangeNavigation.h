#pragma once
// The arithmetic of zooming and panning: ranges from drags, wheel turns and pans,
// kept within a recording's limits and above a smallest span, and the field
// texts that say them to the sample or to the hertz.

#include "session/ViewSettings.h"

#include <QString>

#include <cstdint>
#include <optional>

// The range between two values (in either order) cut to `limits`, widened about
// its middle to at least minSpan (or to the limits, when narrower). Nothing when
// the cut range is empty (a zero-width drag, or one outside the limits) or a
// value is not finite.
std::optional<ValueRange> selectedRange(double from, double to, const ValueRange& limits,
                                        double minSpan);

// `range` scaled by `factor` (below 1 zooms in) about `anchor`, which keeps its
// place relative to the range; the span stays within minSpan ... the limits'
// span and the result is moved inside the limits.
ValueRange zoomedRange(const ValueRange& range, double anchor, double factor,
                       const ValueRange& limits, double minSpan);

// `range` moved by `delta`, stopping at the limits.
ValueRange pannedRange(const ValueRange& range, double delta, const ValueRange& limits);

// A range in sample units rounded to whole samples within 0 ... count, at least
// minSamples apart (the whole recording when it is shorter).
struct SampleSpan
{
    uint64_t first = 0;
    uint64_t last = 0;
};
SampleSpan sampleSpan(const ValueRange& samples, uint64_t count, uint64_t minSamples);

// The shortest fixed-point text of a time, in seconds, that a time field reads as
// sample `sample` at fs: a start time t that sampleAtOrAfter maps to sample, a stop
// time that sampleAtOrBefore maps to it, within a thousandth of a sample of
// sample / fs (at 10 MS/s sample 3776979 is "0.3776979").
QString startTimeText(uint64_t sample, double fs);
QString stopTimeText(uint64_t sample, double fs);

// The time range of samples span.first ... span.last at fs, as the time fields
// would read their texts: the stop time within a relative 1e-5 of the
// duration (or beyond it) is the duration.
TimeRange timeRangeOf(const SampleSpan& span, double fs, double duration);

// A band in whole hertz containing `band` (low rounded down, high up) within the
// limits; nothing when it is empty there.
std::optional<ValueRange> wholeHertzBand(const ValueRange& band, const ValueRange& limits);
