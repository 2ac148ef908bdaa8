#pragma once
// The moving-average windows of the power curve, block by block: shared by the
// whole-range curve and the streamed one, so that both give the same bits.

#include "plotdata/Decibels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

// Instantaneous power in watts of a sample, p = V*V*((Q*Q + I*I)/(FS*FS))/2/R,
// taken as one factor; when the factor is not a usable number (a zero or
// infinite setting) each power takes the full expression, so that zeros,
// infinities and NaN come out as it gives them.
struct PowerScale
{
    // Watts into R, or with `relative` the power relative to full scale,
    // (I^2 + Q^2) / FS^2, for dBFS.
    PowerScale(double fullScaleValue, double fullScaleVoltage, double inputImpedance,
               bool relative = false)
        : FS(fullScaleValue), V(fullScaleVoltage), R(inputImpedance), relative(relative),
          factor(relative ? 1 / (FS * FS) : V * V / (FS * FS) / 2 / R),
          useFactor(std::isfinite(factor) && factor != 0), decibelFactor(relative ? 1.0 : 1000.0)
    {
    }
    double operator()(double i, double q) const
    {
        const double magnitude = q * q + i * i;
        if (useFactor)
            return magnitude * factor;
        return relative ? magnitude / (FS * FS) : V * V * (magnitude / (FS * FS)) / 2 / R;
    }

    double FS;
    double V;
    double R;
    bool relative;
    double factor;
    bool useFactor;
    // What the powers are multiplied by before the logarithm: to milliwatts for
    // dBm, nothing for dBFS.
    double decibelFactor;
};

// For a curve of n powers (power(k) the k-th) and windows of w > 1 samples
// (n > w), writes the dB value of every window starting in blocks firstBlock ...
// endBlock - 1 (block b: window starts b w ... b w + w - 1, of the n - w
// starts) to d[start + w/2 - 1 - dBase]. Reads powers firstBlock w ... up to two
// blocks further.
//
// The window starting at a block's first sample is that block, summed left to
// right as the plain sum is; any other is the tail of block b plus the head of
// block b + 1. Tails are summed right to left, heads left to right as the
// windows advance, the tails of the next block alongside the heads of this one.
// All terms have the same sign: nothing cancels, and each sum stays within a
// few ulps of the plain one, at a cost independent of w. Blocks depend on
// nothing before them, so runs of them can be computed apart with the same sums.
template <typename Power>
void powerWindowBlocks(const Power& power, size_t n, size_t w, size_t firstBlock, size_t endBlock,
                       double* d, size_t dBase, double decibelFactor = 1000.0)
{
    const size_t h = w / 2 - 1;
    const size_t windows = n - w;
    std::vector<double> current(w), next(w), tail(w), nextTail(w);
    const size_t first = firstBlock * w;
    for (size_t j = 0; j < w; ++j)
        current[j] = power(first + j);
    double blockSum = 0.0;
    for (size_t j = 0; j < w; ++j)
        blockSum += current[j];
    {
        double acc = 0.0;
        for (size_t j = w; j-- > 0;) {
            acc = current[j] + acc;
            tail[j] = acc;
        }
    }
    for (size_t start = first; start < std::min(windows, endBlock * w); start += w) {
        const size_t nextStart = start + w;
        const size_t nextLength = std::min(w, n - nextStart);
        for (size_t j = 0; j < nextLength; ++j)
            next[j] = power(nextStart + j);
        const size_t count = std::min(w, windows - start); // windows starting in this block
        const bool moreBlocks = nextStart < windows;        // then next is a whole block
        double* out = d + (start + h - dBase);
        out[0] = blockSum;
        double head = 0.0;
        if (moreBlocks) {
            double acc = 0.0;
            for (size_t r = 1; r < w; ++r) {
                head += next[r - 1];
                out[r] = tail[r] + head;
                acc = next[w - r] + acc;
                nextTail[w - r] = acc;
            }
            blockSum = head + next[w - 1];
            std::swap(tail, nextTail);
            std::swap(current, next);
        } else {
            for (size_t r = 1; r < count; ++r) {
                head += next[r - 1];
                out[r] = tail[r] + head;
            }
        }
        decibelsInPlace(out, count, decibelFactor / static_cast<double>(w));
    }
}
