#pragma once
// Up to four transforms of one size side by side, one per lane of the vector
// kernels: each lane gets the bits fft() gives for its input alone.

#include "dsp/FftWork.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FftBatch
{
public:
    // The most transforms one batch holds.
    static constexpr uint32_t maxLanes = 4;

    // N = 2^exponent; throws std::invalid_argument when exponent > maxFftExponent.
    // simd as for FftWork.
    explicit FftBatch(uint32_t exponent, bool simd = FftWork::simdAvailable());

    uint32_t size() const { return n; }
    uint32_t exponent() const { return e; }
    // Transforms one call takes: maxLanes where the lane kernels serve this
    // size on this processor (exponents 2 ... 11 with the vector unit), else 1.
    uint32_t lanes() const { return width; }

    // The natural-order input of lane l < lanes(): N real parts, N imaginary
    // parts. Kept from call to call, so values written once stay.
    double* inputRe(uint32_t lane);
    double* inputIm(uint32_t lane);

    // Transforms the inputs of lanes 0 ... count - 1 (left unchanged) into
    // re()/im() of those lanes; the other lanes' results are left as they were.
    // Throws std::invalid_argument when count > lanes().
    void transformInput(uint32_t count);

    // transformInput(count) of lane inputs window[j] * re[l][j] + i window[j] *
    // im[l][j], j < N, read in place; inputRe()/inputIm() are overwritten or
    // left as they were.
    void transformWindowed(uint32_t count, const double* const* re, const double* const* im, const double* window);

    // transformInput(count) and transformWindowed(...) writing only each lane's
    // squared magnitudes: powers[l][k] = re^2 + im^2 of bin k of lane l, k < N,
    // natural bin order; re()/im() are not kept up to date.
    void powersInput(uint32_t count, double* const* powers);
    void powersWindowed(uint32_t count, const double* const* re, const double* const* im, const double* window,
                        double* const* powers);

    // The last result of lane l in natural bin order (DC first).
    const double* re(uint32_t lane) const;
    const double* im(uint32_t lane) const;

private:
    // Lane l alone through the single transform, its result copied over.
    void transformAlone(uint32_t lane);
    // The public entries in one: inputs from the lanes (re null) or from re/im
    // times window; results to re()/im() (powers null) or as squared magnitudes.
    void run(uint32_t count, const double* const* re, const double* const* im, const double* window,
             double* const* powers);
    // The four lanes through the lane kernels, from run()'s sources to its
    // destination; returns bit l set where lane l's result holds no NaN (the
    // others are redone alone).
    unsigned transformLanes(const double* const* re, const double* const* im, const double* window,
                            double* const* powers);
    // Writes window[j] * re[j] + i window[j] * im[j] to lane l's input.
    void loadWindowed(uint32_t lane, const double* re, const double* im, const double* window);

    uint32_t e;
    uint32_t n;
    uint32_t width;
    // Distance between neighbouring arrays: N plus a gap, so that arrays read
    // together do not share their low address bits (4 KiB aliasing).
    size_t stride;
    // Real parts of lane l at 2l strides, imaginary parts at 2l + 1; empty when
    // lanes() is 1 and single's own arrays serve.
    std::vector<double> inputs;
    std::vector<double> results;
    // The lanes' values side by side, value k of lane l at 4k + l: 4N real
    // parts, then (workStride further) 4N imaginary parts. Empty when lanes() is 1.
    size_t workStride;
    std::vector<double> work;
    // Tails, NaN results (redone on the portable path) and small sizes.
    FftWork single;
};
