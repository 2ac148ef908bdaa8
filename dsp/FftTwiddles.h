#pragma once
// The twiddle factors of the radix-2 stages, shared by the single and the
// batched transforms: level s (span M = 2^s) holds exp(i theta_j) with
// theta_j = (-2*pi / M) * j for j = 0 ... M - 1, each from that one expression.

#include <cstddef>
#include <cstdint>
#include <vector>

class FftTwiddles
{
public:
    // Levels 1 ... sharedLevels live in one table made once per process.
    static constexpr uint32_t sharedLevels = 15;

    // Writes the M = 2^level twiddles of one level: real parts to re, imaginary to im.
    static void fill(uint32_t level, double* re, double* im);
    // The shared table.
    static const FftTwiddles& shared();

    // The twiddles of level 1 ... sharedLevels, M values each.
    const double* levelRe(uint32_t level) const { return re.data() + offset(level); }
    const double* levelIm(uint32_t level) const { return im.data() + offset(level); }
    // Level s starts at 2^s - 2 in re and im.
    static size_t offset(uint32_t level) { return (size_t(1) << level) - 2; }

    std::vector<double> re, im;

private:
    FftTwiddles();
};
