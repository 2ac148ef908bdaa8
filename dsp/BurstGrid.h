#pragma once
// The detector's short-time power grid: burstFftSize-point Hann FFTs every
// burstHop samples, |X|^2 unscaled, bins ordered from -fs/2 up (bin b at
// (b - N/2) fs/N).

#include "dsp/BlockStream.h"

#include <cstdint>
#include <vector>

class SampleSource;

// Columns [0, count) starting at sample `first` (column c covers samples
// first + c hop ... + N) into out[c * N + b]; the offset taken out when asked.
// Uses the worker pool for long runs.
void burstGridColumns(const SampleSource& source, uint64_t first, uint64_t count, const DcOffset& offset,
                      float* out);

// The window's power sum (sum of w^2), which turns |X|^2 into power density.
double burstWindowPower();
