#pragma once
// A band made audible: demodulated as FM (its frequency trace, the band's
// half-width at full scale) or AM (its envelope with the mean taken out, the
// largest swing at 0.9 of full scale), resampled to 48 kHz (each audio sample
// the mean of the trace's outputs around it when the trace is faster, else
// interpolated between the two beside it) and quantised to 16-bit PCM.

#include "dsp/BandTrace.h"

#include <cstdint>
#include <string>
#include <vector>

class SampleSource;
class WorkControl;

constexpr uint32_t audioRate = 48000;

struct AudioRequest
{
    // Amplitude gives AM; frequency and phase give FM.
    TraceKind kind = TraceKind::Frequency;
    double sampleRate = 1;
    double low = 0;
    double high = 0;
    // Input samples [first, end) of the recording.
    uint64_t first = 0;
    uint64_t end = 0;
    // Audio longer than this is cut (seconds).
    double longest = 600;
};

// Audio from the trace's values at outputRate: FM frequencies in hertz (scaled
// by 1 / halfWidth) or AM envelope magnitudes; NaN values count as silence.
std::vector<int16_t> audioFromTrace(const std::vector<double>& values, double outputRate, bool am,
                                    double halfWidth);
// The audio of the band over the range, read from `source` with `offset`
// taken out (a pass over the range; WorkCancelled on a cancel). Throws
// std::invalid_argument for a band the extractor refuses.
std::vector<int16_t> bandAudio(const SampleSource& source, const AudioRequest& request, double offsetI,
                               double offsetQ, bool removeOffset, WorkControl& control);
