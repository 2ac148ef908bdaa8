#pragma once
// Working state for repeated radix-2 transforms of one size: split real and
// imaginary buffers, the twiddle tables and a scratch area, reused from call to
// call. Not shared between threads; each thread keeps its own.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

class FftWork
{
public:
    // N = 2^exponent; throws std::invalid_argument when exponent > maxFftExponent.
    // simd selects the vector kernels (AVX2 on x86 where the processor has it,
    // NEON on aarch64; elsewhere there are none); both paths give the same bits.
    explicit FftWork(uint32_t exponent, bool simd = simdAvailable());

    static bool simdAvailable();

    uint32_t size() const { return n; }
    uint32_t exponent() const { return e; }

    // The natural-order input for transformInput(): N real parts, N imaginary parts.
    double* inputRe() { return inRe.data(); }
    double* inputIm() { return inIm.data(); }

    // Transforms inputRe()/inputIm() (left unchanged) into re()/im().
    void transformInput();
    // Transforms the N values at in (left unchanged) into re()/im().
    void transform(const std::complex<double>* in);
    // Transforms the N values with real parts at inRe and imaginary parts at
    // inIm (left unchanged) into re()/im().
    void transform(const double* inRe, const double* inIm);
    // Copies the last result to out as complex values.
    void store(std::complex<double>* out) const;
    // transform(in) and store(out) in one; in may equal out.
    void transform(const std::complex<double>* in, std::complex<double>* out);

    // The last result in natural bin order.
    const double* re() const { return result.data(); }
    const double* im() const { return result.data() + n + resultGap; }

private:
    template <typename Source>
    void run(const Source& source);
    // Stages 1 ... e - 2: the four quarters side by side in `quarters`.
    template <typename Source>
    void runQuarters(const Source& source);
    // The vector stages alone, without the NaN check.
    template <typename Source>
    void runStages(const Source& source);
    template <typename Source>
    void runPortable(const Source& source);
    // Stages s0 ... s1 (s0 > 4) column by column.
    void runColumns(uint32_t s0, uint32_t s1);

    double* outRe() { return result.data(); }
    double* outIm() { return result.data() + n + resultGap; }

    const double* twiddleRe(uint32_t level) const;
    const double* twiddleIm(uint32_t level) const;

    uint32_t e;
    uint32_t n;
    bool simd;
    std::vector<double> inRe, inIm;
    // The result: N real parts, resultGap unused values, N imaginary parts. The
    // gap keeps the imaginary parts off the real parts' low address bits, so a
    // load from one never waits on a store to the other (4 KiB aliasing).
    static constexpr size_t resultGap = 64;
    std::vector<double> result;
    // Twiddles of the levels above the shared cache, same layout as the cache.
    std::vector<double> ownRe, ownIm;
    // Sizes 2^4 ... 2^17 on the vector path: the quarters' values side by side
    // (FftLanes.h), N real parts, a gap, N imaginary parts; else empty.
    std::vector<double> quarters;
    // Scratch of the portable path, allocated on first use.
    std::vector<std::complex<double>> scratchA, scratchB;
};
