// The Welch sums' bin-by-bin additions: several segments or rows in one pass
// give the bits of one plain loop per segment, in segment order.

#include "dsp/WelchAccumulator.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

// Every segment count of a batch and lengths around the vector width; values
// of mixed magnitude, so that another order of additions changes the bits.
TEST(WelchSums, SameBitsAsOneLoopPerSegment)
{
    for (uint32_t segments = 1; segments <= 4; ++segments) {
        for (size_t count : {0, 1, 3, 4, 5, 8, 13}) {
            const std::vector<double> start = randomValues(count, 5, true);
            std::vector<std::vector<double>> re, im;
            const double* rePointers[4];
            const double* imPointers[4];
            std::vector<double> rows;
            std::vector<double> expectedPowers = start, expectedRows = start;
            for (uint32_t s = 0; s < segments; ++s) {
                re.push_back(randomValues(count, 10 + s, s == 1));
                im.push_back(randomValues(count, 20 + s));
                rePointers[s] = re.back().data();
                imPointers[s] = im.back().data();
                rows.insert(rows.end(), re.back().begin(), re.back().end());
                for (size_t m = 0; m < count; ++m) {
                    expectedPowers[m] = expectedPowers[m] + (re[s][m] * re[s][m] + im[s][m] * im[s][m]);
                    expectedRows[m] = expectedRows[m] + re[s][m];
                }
            }
            std::vector<double> powers = start, sums = start;
            addPowers(powers.data(), rePointers, imPointers, segments, count);
            addRows(sums.data(), rows.data(), segments, count);
            EXPECT_EQ(firstDifference(powers.data(), expectedPowers.data(), count), -1) << segments << " x " << count;
            EXPECT_EQ(firstDifference(sums.data(), expectedRows.data(), count), -1) << segments << " x " << count;
        }
    }
}
