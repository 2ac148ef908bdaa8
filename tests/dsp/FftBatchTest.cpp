// Batched FFT: every lane the bits of the literal radix-2 recursion, whatever
// the other lanes hold, in full batches and in tails.

#include "dsp/FftBatch.h"
#include "tests/dsp/LiteralReference.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

using Complex = std::complex<double>;
constexpr double inf = std::numeric_limits<double>::infinity();

// Inputs of different character, so that lanes mixed up or disturbed by a
// neighbour's NaN or infinity show.
std::vector<Complex> laneInput(int kind, uint32_t e, uint32_t seed)
{
    const size_t n = size_t(1) << e;
    switch (kind) {
    case 0: // finite
        return randomComplex(n, seed);
    case 1: // infinities and NaN sprinkled in
        return randomComplex(n, seed, true);
    case 2: { // one infinity, no NaN: products of infinity and zero make NaN inside
        std::vector<Complex> v = randomComplex(n, seed);
        v[n / 3] = Complex(-inf, 0.0);
        return v;
    }
    default: { // signed zeros only
        std::vector<Complex> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = Complex(i % 3 == 0 ? -0.0 : 0.0, i % 5 == 1 ? -0.0 : 0.0);
        return v;
    }
    }
}

constexpr int kinds = 4;

} // namespace

// Sizes 2^1 ... 2^16 on both paths; each row puts the input kinds in other
// lanes, and every call count from a full batch down to a tail of one.
TEST(FftBatch, EveryLaneBitIdenticalToLiteral)
{
    for (uint32_t e = 1; e <= 16; ++e) {
        std::vector<std::vector<Complex>> in, expected;
        for (uint32_t l = 0; l < FftBatch::maxLanes; ++l) {
            in.push_back(laneInput(int(l + e) % kinds, e, 31 * e + l));
            expected.emplace_back(in.back().size());
            literal::fft(e, in.back().data(), expected.back().data());
        }
        for (bool simd : {false, true}) {
            FftBatch batch(e, simd);
            const bool sideBySide = simd && FftWork::simdAvailable() && e >= 4 && e <= 15;
            ASSERT_EQ(batch.lanes(), sideBySide ? FftBatch::maxLanes : 1u) << "e = " << e;
            for (uint32_t count = batch.lanes(); count >= 1; --count) {
                for (uint32_t l = 0; l < count; ++l) {
                    for (size_t i = 0; i < in[l].size(); ++i) {
                        batch.inputRe(l)[i] = in[l][i].real();
                        batch.inputIm(l)[i] = in[l][i].imag();
                    }
                }
                batch.transformInput(count);
                for (uint32_t l = 0; l < count; ++l) {
                    std::vector<Complex> out(in[l].size());
                    for (size_t i = 0; i < out.size(); ++i)
                        out[i] = Complex(batch.re(l)[i], batch.im(l)[i]);
                    EXPECT_EQ(firstDifference(out, expected[l]), -1)
                        << "e = " << e << ", simd " << simd << ", count " << count << ", lane " << l;
                }
            }
        }
    }
}

TEST(FftBatch, RefusesMoreTransformsThanLanesAndTooLargeSizes)
{
    FftBatch batch(8);
    EXPECT_THROW(batch.transformInput(batch.lanes() + 1), std::invalid_argument);
    EXPECT_THROW(FftBatch(32), std::invalid_argument);
}
