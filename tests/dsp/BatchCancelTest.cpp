// The computations that transform their segments four at a time still look at
// the cancel flag: a cancelled control stops each of them with WorkCancelled.

#include "dsp/SpectrogramStream.h"
#include "dsp/WelchAccumulator.h"
#include "dsp/WelchStream.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Rows: the streamed spectrogram, the streamed Welch sums (threads sharing the
// segments), the Welch sums on one thread, and a block too short for a
// full batch.
TEST(BatchedSegments, CancelledControlStopsTheWork)
{
    const size_t n = 200000;
    const std::vector<double> i = randomValues(n, 3);
    const std::vector<double> q = randomValues(n, 4);
    const double* const iq[2] = {i.data(), q.data()};
    struct Row
    {
        const char* name;
        std::function<void(WorkControl&)> run;
    };
    const Row rows[] = {
        {"spectrogram stream",
         [&](WorkControl& c) { SpectrogramStream(0, n, 8, 0.5, 1e6, 100).consume(0, n, i.data(), q.data(), c); }},
        {"Welch stream",
         [&](WorkControl& c) { WelchStream(0, n, 256, 256, 128).consume(0, n, i.data(), q.data(), c); }},
        {"Welch sums on one thread",
         [&](WorkControl& c) {
             WelchAccumulator sums(n, 256, 256, 128, 1);
             sums.add(iq, loadSplitSegment, sums.segmentCount(), &c);
         }},
        {"spectrogram stream, three columns",
         [&](WorkControl& c) {
             SpectrogramStream(0, 512, 8, 0.5, 1e6, 100).consume(0, 512, i.data(), q.data(), c);
         }},
    };
    for (const Row& row : rows) {
        WorkControl control;
        control.cancel();
        EXPECT_THROW(row.run(control), WorkCancelled) << row.name;
        WorkControl running;
        EXPECT_NO_THROW(row.run(running)) << row.name;
    }
}
