#pragma once
// Radix-2 kernels over four transforms side by side: value k of lane l at
// 4k + l of split real and imaginary arrays, every vector holding one value of
// each lane, so that each lane goes through the single transform's operations.
// Used for batches of four inputs (FftBatch) and for one transform seen as the
// four transforms of its quarters (FftWork). Functions exist where NORVALE_VEC4 is 1.

#include "dsp/Vec4.h"

#include <cstddef>
#include <cstdint>

#if NORVALE_VEC4

constexpr uint32_t laneCount = 4;

// Reads four lanes' natural-order inputs (lane l at inRe[l], inIm[l]), N = 2^e
// values each (e >= 2), each times window[m] when window is not null, and
// writes value m of every lane to position reverse(m) of the side-by-side
// arrays re/im (4N values each). Returns the first stage left to run: 3 where
// it runs stages 1 and 2 on the way (N >= 16), else 1.
NORVALE_VEC4_TARGET uint32_t gatherLanes(const double* const* inRe, const double* const* inIm, const double* window,
                                         uint32_t e, double* re, double* im);

// Stages first ... e of N = 2^e values per lane, in place (stage 1 reads the
// bit-reversed order); e <= FftTwiddles::sharedLevels.
NORVALE_VEC4_TARGET void laneStages(uint32_t e, double* re, double* im, uint32_t first = 1);

// Writes the N values of each lane apart (lane l to outRe[l], outIm[l]);
// returns bit l set where lane l holds no NaN. N a multiple of 4.
NORVALE_VEC4_TARGET unsigned scatterLanes(size_t n, const double* re, const double* im, double* const* outRe,
                                          double* const* outIm);

// Writes each lane's squared magnitudes, re^2 + im^2 (out[l], N values);
// returns bit l set where lane l holds no NaN. N a multiple of 4.
NORVALE_VEC4_TARGET unsigned lanePowers(size_t n, const double* re, const double* im, double* const* out);

// One transform of N = 2^e values (e >= 4) as four of N/4: the values 4m + l,
// m = 0 ... N/4 - 1, are the input of quarter reverse2(l) of the bit-reversed
// order. Gathers them to position reverse(m) over e - 2 bits of re/im (N
// values each) and runs the quarters' stages 1 and 2 on the way: from split
// arrays value 4m + l to lane l; from interleaved complex values "crossed",
// value 4m + reverse2(l) to lane l (so that lane l holds quarter l).
NORVALE_VEC4_TARGET void gatherQuarters(const double* inRe, const double* inIm, uint32_t e, double* re, double* im);
NORVALE_VEC4_TARGET void gatherQuartersComplex(const double* in, uint32_t e, double* re, double* im);

// After the quarters' stages 3 ... e - 2 (laneStages(e - 2, re, im, 3); crossed:
// gathered by gatherQuartersComplex): stages e - 1 and e (twiddles of those levels at
// t1r/t1i and t2r/t2i), results in natural order to split arrays or as
// interleaved complex values. Return whether any result is NaN.
NORVALE_VEC4_TARGET bool lastStages(uint32_t e, bool crossed, const double* re, const double* im, const double* t1r,
                                    const double* t1i, const double* t2r, const double* t2i, double* outRe,
                                    double* outIm);
NORVALE_VEC4_TARGET bool lastStagesComplex(uint32_t e, bool crossed, const double* re, const double* im,
                                           const double* t1r, const double* t1i, const double* t2r, const double* t2i,
                                           double* out);

#endif
