#pragma once
// The one band rule of every view and measurement over a centred N-point
// spectrum at fs samples per second whose bin b stands for (b - N/2) * fs / N: a
// band's first bin is the one at or below its start, floor(start / fs * N + N/2),
// and its last the one at or above its stop, ceil(stop / fs * N + N/2), so that
// the bins used span the band.

#include <cstdint>

// The unclamped bin positions of a band's edges (NaN for a NaN edge, no bins or
// no rate); callers keep them within 0 ... N - 1.
double bandStartPosition(double fs, uint32_t N, double hertz);
double bandStopPosition(double fs, uint32_t N, double hertz);
