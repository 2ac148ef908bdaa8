// A long recording being opened shows a preview of its whole spectrogram while
// its first pass runs, marked as a preview; the pass then replaces it with
// exactly the picture a pass without previews gives, and a cancel leaves the
// preview shown, still marked.

#include "session/ViewSession.h"
#include "tests/support/EventWait.h"

#include "io/Recording.h"
#include "session/SpectrumModel.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/ViewSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>

namespace {

constexpr double fs = 1e6;

// 2^22 samples of a tone in noise, made when read; while closed, reads of a
// pass's blocks wait (a preview's single segments go through).
class GatedNoise : public SampleSource
{
public:
    uint64_t size() const override { return uint64_t(1) << 22; }
    void read(uint64_t first, size_t count, double* i, double* q) const override
    {
        if (count > passBlock) {
            std::unique_lock lock(mutex);
            opened.wait(lock, [this] { return open; });
        }
        for (size_t k = 0; k < count; ++k) {
            const uint64_t n = first + k;
            i[k] = std::cos(0.7 * double(n)) + noise(2 * n);
            q[k] = std::sin(0.7 * double(n)) + noise(2 * n + 1);
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
    static constexpr size_t passBlock = 4096;
    // Uniform in [-0.5, 0.5) from a hash of the index.
    static double noise(uint64_t n)
    {
        n += 0x9E3779B97F4A7C15ull;
        n = (n ^ (n >> 30)) * 0xBF58476D1CE4E5B9ull;
        n = (n ^ (n >> 27)) * 0x94D049BB133111EBull;
        n ^= n >> 31;
        return double(n >> 11) / double(uint64_t(1) << 53) - 0.5;
    }
    mutable std::mutex mutex;
    mutable std::condition_variable opened;
    bool open = false;
};

// The picture of the whole recording as a pass without previews or summaries
// makes it, in a view of the same size.
QImage exactPicture(const std::shared_ptr<const SampleSource>& source, const ViewSettings& settings, QSize size)
{
    Recording recording;
    recording.assignSource(uint32_t(fs), source);
    SpectrogramView view(&recording);
    view.resize(size);
    view.show();
    const double duration = double(source->size()) / fs;
    computeAndPresent(recording, 0.0, duration, false,
                      view.computation(fs, source->size(), 0.0, duration, settings.spectrogram.exponent,
                                       settings.spectrogram.overlap));
    view.present({settings, 0.0, true});
    return view.colourImage();
}

} // namespace

TEST(Previews, ShownMarkedThenReplacedByTheExactPictureOrKeptByACancel)
{
    struct Row
    {
        const char* what;
        bool cancel;
    };
    for (const Row row : {Row{"let through", false}, Row{"cancelled", true}}) {
        auto source = std::make_shared<GatedNoise>();
        Recording recording;
        SpectrogramView spectrogram(&recording);
        PowerView power(&recording);
        AmplitudeView amplitude(&recording);
        SpectrumView spectrum(&recording);
        for (QWidget* view : {static_cast<QWidget*>(&spectrogram), static_cast<QWidget*>(&power),
                              static_cast<QWidget*>(&amplitude), static_cast<QWidget*>(&spectrum)}) {
            view->resize(700, 300);
            view->show();
        }
        SpectrumModel model;
        ViewSession session(&recording);
        const ViewSet views{&spectrogram, &power, &amplitude, &spectrum};
        addViews(session, model, views);
        session.apply(startingSettings(views));
        int previewSignals = 0;
        QObject::connect(&session, &ViewSession::previewChanged, [&](bool shown) { previewSignals += shown ? 1 : 0; });
        auto fresh = std::make_shared<Recording>();
        fresh->assignSource(uint32_t(fs), source);
        session.load(fresh, "noise");

        // The preview: the recording is open, its whole range shown, marked, while the pass waits.
        ASSERT_TRUE(waitFor([&] { return session.showsPreview(); })) << row.what;
        EXPECT_EQ(previewSignals, 1) << row.what;
        EXPECT_TRUE(session.busy()) << row.what;
        EXPECT_TRUE(session.isLoaded()) << row.what;
        EXPECT_TRUE(spectrogram.showsPreview()) << row.what;
        EXPECT_EQ(spectrogram.startTime(), 0.0) << row.what;
        EXPECT_EQ(spectrogram.stopTime(), double(source->size()) / fs) << row.what;
        const QImage preview = spectrogram.colourImage();
        ASSERT_FALSE(preview.isNull()) << row.what;
        auto open = std::make_shared<GatedNoise>();
        open->setOpen(true);
        const QImage exact = exactPicture(open, session.shown(), spectrogram.size());
        ASSERT_EQ(preview.size(), exact.size()) << row.what;
        EXPECT_NE(preview, exact) << row.what; // one segment of each group, not their maximum

        if (row.cancel) {
            session.cancel();
            source->setOpen(true);
            ASSERT_TRUE(waitFor([&] { return !session.busy(); })) << row.what;
            EXPECT_TRUE(session.wasCancelled()) << row.what;
            EXPECT_TRUE(session.showsPreview()) << row.what;
            EXPECT_TRUE(spectrogram.showsPreview()) << row.what;
            EXPECT_EQ(spectrogram.colourImage(), preview) << row.what;
        } else {
            source->setOpen(true);
            ASSERT_TRUE(waitFor([&] { return !session.busy(); })) << row.what;
            EXPECT_FALSE(session.showsPreview()) << row.what;
            EXPECT_FALSE(spectrogram.showsPreview()) << row.what;
            EXPECT_EQ(spectrogram.colourImage(), exact) << row.what;
        }
        session.stop();
    }
}
