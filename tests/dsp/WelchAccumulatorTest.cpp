// The Welch sums' bin-by-bin additions: several rows in one pass give the bits
// of one plain loop per row, in row order.

#include "dsp/WelchAccumulator.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

// Row counts around the four added per pass and lengths around the vector
// width; values of mixed magnitude (and a row with infinities and NaN), so
// that another order of additions changes the bits.
TEST(WelchSums, SameBitsAsOneLoopPerRow)
{
    for (uint64_t count : {1, 3, 4, 5, 9}) {
        for (size_t length : {0, 1, 3, 4, 5, 8, 13}) {
            const std::vector<double> start = randomValues(length, 5);
            std::vector<double> rows;
            std::vector<double> expected = start;
            for (uint64_t s = 0; s < count; ++s) {
                const std::vector<double> row = randomValues(length, uint32_t(10 + s), s == 1);
                rows.insert(rows.end(), row.begin(), row.end());
                for (size_t m = 0; m < length; ++m)
                    expected[m] = expected[m] + row[m];
            }
            std::vector<double> sums = start;
            addRows(sums.data(), rows.data(), count, length);
            EXPECT_EQ(firstDifference(sums.data(), expected.data(), length), -1) << count << " x " << length;
        }
    }
}
