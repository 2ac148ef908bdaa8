// A step whose pictures need a pass shows a coarser picture from the summaries
// meanwhile, over the new range; a cancel puts the range shown back.

#include "session/ViewSession.h"
#include "tests/support/EventWait.h"

#include "io/Recording.h"
#include "session/SpectrumModel.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/ViewSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>

namespace {

// 2^22 samples of a tone made when read, whose reads wait while it is closed.
class GatedTone : public SampleSource
{
public:
    uint64_t size() const override { return uint64_t(1) << 22; }
    void read(uint64_t first, size_t count, double* i, double* q) const override
    {
        std::unique_lock lock(mutex);
        opened.wait(lock, [this] { return open; });
        for (size_t k = 0; k < count; ++k) {
            i[k] = std::cos(0.3 * double(first + k));
            q[k] = std::sin(0.3 * double(first + k));
        }
    }
    void setOpen(bool state)
    {
        {
            const std::lock_guard lock(mutex);
            open = state;
        }
        opened.notify_all();
    }

private:
    mutable std::mutex mutex;
    mutable std::condition_variable opened;
    bool open = true;
};


} // namespace

TEST(Sketches, ShownWhileThePassRunsAndTakenBackByACancel)
{
    auto source = std::make_shared<GatedTone>();
    Recording recording;
    SpectrogramView spectrogram(&recording);
    PowerView power(&recording);
    AmplitudeView amplitude(&recording);
    SpectrumView spectrum(&recording);
    for (QWidget* view : {static_cast<QWidget*>(&spectrogram), static_cast<QWidget*>(&power),
                          static_cast<QWidget*>(&amplitude), static_cast<QWidget*>(&spectrum)}) {
        view->resize(900, 300);
        view->show();
    }
    SpectrumModel model;
    ViewSession session(&recording);
    const ViewSet views{&spectrogram, &power, &amplitude, &spectrum};
    const ViewSettings starting = startingSettings(views);
    addViews(session, model, views);
    session.apply(starting);
    const double fs = 1e6;
    const double duration = double(source->size()) / fs;
    auto fresh = std::make_shared<Recording>();
    fresh->assignSource(uint32_t(fs), source);
    session.load(fresh, "tone");
    ASSERT_TRUE(waitFor([&] { return !session.busy(); }));
    const QImage whole = spectrogram.colourImage();
    ASSERT_FALSE(whole.isNull());

    // 100,000 samples: columns finer than any kept group, so a pass is needed,
    // held until the source opens again.
    source->setOpen(false);
    session.showPlace({{2.0, 2.1}, session.shown().band});
    EXPECT_TRUE(waitFor([&] { return spectrogram.startTime() == 2.0; }));
    EXPECT_TRUE(session.busy());
    EXPECT_EQ(session.shown().range.start, 0.0);
    EXPECT_EQ(spectrogram.stopTime(), 2.1);
    EXPECT_FALSE(spectrogram.colourImage().isNull());
    EXPECT_NE(spectrogram.colourImage().size(), whole.size());

    // Cancelled: the views show the range shown again.
    session.cancel();
    source->setOpen(true);
    EXPECT_TRUE(waitFor([&] { return !session.busy(); }));
    EXPECT_EQ(spectrogram.startTime(), 0.0);
    EXPECT_EQ(spectrogram.stopTime(), duration);
    EXPECT_EQ(spectrogram.colourImage(), whole);

    // Let through, the exact picture replaces the sketch.
    session.showPlace({{2.0, 2.1}, session.shown().band});
    EXPECT_TRUE(waitFor([&] { return !session.busy(); }));
    EXPECT_EQ(session.shown().range.start, 2.0);
    EXPECT_EQ(spectrogram.startTime(), 2.0);
    session.stop();
}
