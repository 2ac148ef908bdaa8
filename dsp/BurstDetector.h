#pragma once
// Finds the bursts of a recording: a coarse pass over a short-time power grid
// (multi-scale energy boxes against a robust per-bin noise floor, two-threshold
// hysteresis, regions joined across short gaps), then fine edges on the samples
// around each region (the band's power in time, the occupied band in
// frequency). Deterministic: the same input gives the same bursts.

#include "dsp/BlockStream.h"

#include <cstdint>
#include <optional>
#include <vector>

class SampleSource;
class WorkControl;

struct BurstRequest
{
    double sampleRate = 1.0;
    // Samples [first, end) of the source; the band [low, high] in baseband hertz.
    uint64_t first = 0;
    uint64_t end = 0;
    double low = -0.5;
    double high = 0.5;
    // How far above the noise a burst must stand (see thresholdSigmas); default 6.
    double thresholdDb = 6.0;
    // Bursts shorter than this (seconds) are dropped; none: one FFT of the grid.
    std::optional<double> minDuration;
    DcOffset offset;
};

struct Burst
{
    uint64_t sampleStart = 0;
    uint64_t sampleCount = 0;
    // Baseband hertz.
    double lowHz = 0.0;
    double highHz = 0.0;
    // In-band SNR: the burst's power over the noise's in [lowHz, highHz].
    double snrDb = 0.0;
    // Where per-burst estimates (symbol rate, modulation) are to be added.
};

struct BurstDetection
{
    // The median over the band's bins of the noise floor, dB/Hz of the samples as they are.
    double noiseFloorDbHz = 0.0;
    // Sorted by sampleStart.
    std::vector<Burst> bursts;
};

// The grid: 2^8-point Hann FFTs every 2^7 samples.
constexpr uint32_t burstFftExponent = 8;
constexpr uint32_t burstFftSize = uint32_t(1) << burstFftExponent;
constexpr uint32_t burstHop = burstFftSize / 2;

// The threshold in standard deviations of the noise of a box of cells: T dB is
// T dB over the noise floor for a box whose noise varies by 1 dB, and the same
// number of standard deviations for every other box (a larger box, whose noise
// is steadier, needs less power over the floor).
double thresholdSigmas(double thresholdDb);

// The bursts of samples [first, end) in the band. Progress in samples through
// `control`; throws WorkCancelled, the source's read errors, and
// std::invalid_argument for a request that makes no sense (an empty range, a
// band outside the rate, a threshold or duration not finite and > 0).
BurstDetection detectBursts(const SampleSource& source, const BurstRequest& request, WorkControl& control);
