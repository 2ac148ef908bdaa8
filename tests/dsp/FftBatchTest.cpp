// Batched FFT: every lane the bits of the literal radix-2 recursion, whatever
// the other lanes hold, in full batches and in tails.

#include "dsp/FftBatch.h"
#include "tests/dsp/LiteralReference.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
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

// The lanes' results as complex values.
std::vector<std::vector<Complex>> results(const FftBatch& batch, uint32_t count)
{
    std::vector<std::vector<Complex>> out(count, std::vector<Complex>(batch.size()));
    for (uint32_t l = 0; l < count; ++l) {
        for (size_t i = 0; i < batch.size(); ++i)
            out[l][i] = Complex(batch.re(l)[i], batch.im(l)[i]);
    }
    return out;
}

// re^2 + im^2 of each value.
std::vector<double> squares(const std::vector<Complex>& v)
{
    std::vector<double> out(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        out[i] = v[i].real() * v[i].real() + v[i].imag() * v[i].imag();
    return out;
}

// Sizes 2^1 ... 2^16 on both paths; each row puts the input kinds in other
// lanes, and every call count from a full batch down to a tail of one, with
// the inputs written to the batch and read in place times a window, the
// results kept or only their squared magnitudes.
TEST(FftBatch, EveryLaneBitIdenticalToLiteral)
{
    for (uint32_t e = 1; e <= 16; ++e) {
        const size_t n = size_t(1) << e;
        const std::vector<double> window = randomValues(n, 7 + e);
        std::vector<std::vector<double>> re(FftBatch::maxLanes), im(FftBatch::maxLanes);
        std::vector<std::vector<Complex>> expected, expectedWindowed;
        const double* rePointers[FftBatch::maxLanes];
        const double* imPointers[FftBatch::maxLanes];
        for (uint32_t l = 0; l < FftBatch::maxLanes; ++l) {
            const std::vector<Complex> in = laneInput(int(l + e) % kinds, e, 31 * e + l);
            std::vector<Complex> windowed(n);
            for (size_t i = 0; i < n; ++i) {
                re[l].push_back(in[i].real());
                im[l].push_back(in[i].imag());
                windowed[i] = Complex(window[i] * in[i].real(), window[i] * in[i].imag());
            }
            rePointers[l] = re[l].data();
            imPointers[l] = im[l].data();
            expected.emplace_back(n);
            literal::fft(e, in.data(), expected.back().data());
            expectedWindowed.emplace_back(n);
            literal::fft(e, windowed.data(), expectedWindowed.back().data());
        }
        for (bool simd : {false, true}) {
            FftBatch batch(e, simd);
            const bool sideBySide = simd && FftWork::simdAvailable() && e >= 2 && e <= 11;
            ASSERT_EQ(batch.lanes(), sideBySide ? FftBatch::maxLanes : 1u) << "e = " << e;
            for (uint32_t count = batch.lanes(); count >= 1; --count) {
                for (uint32_t l = 0; l < count; ++l) {
                    std::copy(re[l].begin(), re[l].end(), batch.inputRe(l));
                    std::copy(im[l].begin(), im[l].end(), batch.inputIm(l));
                }
                batch.transformInput(count);
                std::vector<std::vector<Complex>> out = results(batch, count);
                std::vector<std::vector<double>> powers(count, std::vector<double>(n)), powersWindowed = powers;
                double* powerRows[FftBatch::maxLanes];
                for (uint32_t l = 0; l < count; ++l)
                    powerRows[l] = powers[l].data();
                batch.powersInput(count, powerRows);
                // The windowed entries may write the lane inputs.
                batch.transformWindowed(count, rePointers, imPointers, window.data());
                std::vector<std::vector<Complex>> outWindowed = results(batch, count);
                for (uint32_t l = 0; l < count; ++l)
                    powerRows[l] = powersWindowed[l].data();
                batch.powersWindowed(count, rePointers, imPointers, window.data(), powerRows);
                for (uint32_t l = 0; l < count; ++l) {
                    const std::string row = "e = " + std::to_string(e) + ", simd " + std::to_string(simd) +
                                            ", count " + std::to_string(count) + ", lane " + std::to_string(l);
                    EXPECT_EQ(firstDifference(out[l], expected[l]), -1) << row;
                    EXPECT_EQ(firstDifference(outWindowed[l], expectedWindowed[l]), -1) << "windowed, " << row;
                    EXPECT_EQ(firstDifference(powers[l].data(), squares(expected[l]).data(), n), -1)
                        << "powers, " << row;
                    EXPECT_EQ(firstDifference(powersWindowed[l].data(), squares(expectedWindowed[l]).data(), n), -1)
                        << "windowed powers, " << row;
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
