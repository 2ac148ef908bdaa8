// Complex magnitudes: bit for bit std::abs over all the ranges the vector path
// treats differently.

#include "dsp/Magnitude.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Magnitudes, SameAsStdAbs)
{
    RecordProperty("vectorPath", fastMagnitudesEnabled() ? "on" : "off");
    std::mt19937_64 rng(17);
    std::uniform_int_distribution<int> exponent(-1074, 1023);
    std::uniform_int_distribution<int> gap(0, 80);
    std::normal_distribution<double> normal(0.0, 1.0);
    const size_t count = 2000003; // not a multiple of the vector width
    std::vector<double> re(count), im(count), out(count);
    const double specials[] = {0.0, -0.0, INFINITY, -INFINITY, NAN, 0x1p-1074, 0x1p+511, 0x1p-511, 1e308};
    for (size_t k = 0; k < count; ++k) {
        switch (k % 4) {
        case 0: // both parts of similar size
            re[k] = std::ldexp(normal(rng), exponent(rng) / 2);
            im[k] = re[k] * (1.0 + normal(rng) * 1e-3);
            break;
        case 1: // any sizes
            re[k] = std::ldexp(normal(rng), exponent(rng));
            im[k] = std::ldexp(normal(rng), exponent(rng));
            break;
        case 2: // one part up to 2^-80 of the other, around the 2^-54 cut
            re[k] = std::ldexp(normal(rng), exponent(rng) / 4);
            im[k] = std::ldexp(re[k], -gap(rng)) * (1.0 + normal(rng) * 1e-9);
            break;
        default: // specials against anything
            re[k] = specials[k / 4 % 9];
            im[k] = (k / 36) % 2 ? specials[k / 36 % 9] : normal(rng);
            break;
        }
    }
    magnitudes(re.data(), im.data(), count, out.data());
    for (size_t k = 0; k < count; ++k) {
        const double expected = std::abs(std::complex<double>(re[k], im[k]));
        ASSERT_TRUE(sameBits(out[k], expected)) << std::hexfloat << re[k] << ", " << im[k] << ": " << out[k]
                                                << " instead of " << expected;
    }
}
