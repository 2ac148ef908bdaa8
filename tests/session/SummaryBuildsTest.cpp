// The summaries the views' settings need, built in the background: what is
// missing becomes ready, held while paused, the whole recording's DC offset
// found once.

#include "session/SummaryBuilds.h"

#include "io/SampleSource.h"
#include "plotdata/SummarySet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <random>

namespace {

std::shared_ptr<const SampleSource> noise(size_t count)
{
    std::mt19937_64 rng(8);
    std::normal_distribution<double> normal(0.5, 1.0);
    std::vector<double> i(count), q(count);
    for (size_t k = 0; k < count; ++k) {
        i[k] = normal(rng);
        q[k] = normal(rng);
    }
    return memorySamples(std::move(i), std::move(q));
}

void waitWhileBusy(const SummaryBuilds& builds)
{
    while (builds.busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(SummaryBuilds, MissingSummariesBecomeReadyUnlessHeld)
{
    const auto samples = noise(600000);
    auto summaries = std::make_shared<SummarySet>(samples, 1e6, std::nullopt);
    QObject context;
    SummaryBuilds builds(&context);
    SummaryNeeds needs;
    needs.spectrogram = SummaryNeeds::Spectrogram{8, 0.5};
    needs.spectrum = SpectrumSettings{};
    needs.spectrum->fftSize = 512;
    needs.power = PowerCurveSettings{};
    needs.amplitude = true;
    needs.removeDc = true;
    builds.request(summaries, samples, 1e6, needs);
    waitWhileBusy(builds);
    WorkControl control;
    const DcOffset mean = rangeMean(*samples, 0, samples->size(), control);
    ASSERT_TRUE(summaries->wholeMean().has_value());
    EXPECT_EQ(summaries->wholeMean()->i, mean.i);
    EXPECT_EQ(summaries->wholeMean()->q, mean.q);
    EXPECT_NE(summaries->spectrogram(8, 0.5, mean), nullptr);
    EXPECT_NE(summaries->welch(512, 409, mean), nullptr);
    EXPECT_NE(summaries->power(PowerCurveSettings{}, mean), nullptr);
    EXPECT_NE(summaries->amplitude(mean), nullptr);
    EXPECT_EQ(summaries->spectrogram(9, 0.5, mean), nullptr);

    // Held while other work runs: nothing more is built until it goes on.
    builds.setPaused(true);
    needs.spectrogram->exponent = 9;
    needs.removeDc = false;
    builds.request(summaries, samples, 1e6, needs);
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(builds.busy());
    EXPECT_EQ(summaries->spectrogram(9, 0.5, DcOffset{}), nullptr);
    builds.setPaused(false);
    waitWhileBusy(builds);
    EXPECT_NE(summaries->spectrogram(9, 0.5, DcOffset{}), nullptr);
    EXPECT_NE(summaries->amplitude(DcOffset{}), nullptr);
    // Stopped while held, it ends at once.
    builds.setPaused(true);
    needs.spectrogram->exponent = 10;
    builds.request(summaries, samples, 1e6, needs);
    builds.stop();
    EXPECT_FALSE(builds.busy());
}
