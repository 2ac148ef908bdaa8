// The views' pictures of ranges put together from the summaries the first pass
// kept, reading few samples: the same pictures as views computing the ranges
// from every sample, at several plot widths.

#include "session/ViewSession.h"

#include "io/Recording.h"
#include "session/SpectrumModel.h"
#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/TraceView.h"
#include "views/ViewSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

namespace {

// 2^22 samples of noise with bursts and a chirp, made when read; counts them.
class CountedNoise : public SampleSource
{
public:
    uint64_t size() const override { return uint64_t(1) << 22; }
    void read(uint64_t first, size_t count, double* i, double* q) const override
    {
        samplesRead += count;
        for (size_t k = 0; k < count; ++k) {
            const uint64_t n = first + k;
            uint64_t h = n * 0x9E3779B97F4A7C15ull;
            h ^= h >> 29;
            h *= 0xBF58476D1CE4E5B9ull;
            h ^= h >> 32;
            const double burst = (n / 50000) % 7 == 3 ? 20.0 : 1.0;
            const double t = double(n) / double(size());
            i[k] = burst * (double(h & 0xFFFF) / 65536.0 - 0.5) + std::cos(3000.0 * t * t);
            q[k] = burst * (double((h >> 16) & 0xFFFF) / 65536.0 - 0.5) + std::sin(3000.0 * t * t);
        }
    }
    mutable std::atomic<uint64_t> samplesRead{0};
};

struct Views
{
    explicit Views(Recording* recording, int width)
        : spectrogram(recording), power(recording), amplitude(recording), spectrum(recording)
    {
        for (QWidget* view : {static_cast<QWidget*>(&spectrogram), static_cast<QWidget*>(&power),
                              static_cast<QWidget*>(&amplitude), static_cast<QWidget*>(&spectrum)}) {
            view->resize(width, 300);
            view->show();
        }
    }
    SpectrogramView spectrogram;
    PowerView power;
    AmplitudeView amplitude;
    SpectrumView spectrum;
};

QImage grab(QWidget* plot)
{
    return plot->grab().toImage();
}

void waitUntilIdle(const ViewSession& session)
{
    QElapsedTimer clock;
    clock.start();
    while (session.busy() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(SummaryPictures, RangesFromSummariesLookAsComputedFromEverySample)
{
    auto source = std::make_shared<CountedNoise>();
    const double fs = 1e6;
    const double duration = double(source->size()) / fs;
    for (int width : {700, 1213}) {
        Recording recording;
        Views kept(&recording, width);
        SpectrumModel model;
        ViewSession session(&recording);
        const ViewSet views{&kept.spectrogram, &kept.power, &kept.amplitude, &kept.spectrum};
        ViewSettings settings = startingSettings(views);
        settings.display.showAmplitude = true;
        addViews(session, model, views);
        session.apply(settings);
        auto read = std::make_shared<Recording>();
        read->assignSource(uint32_t(fs), source);
        session.load(read, "noise");
        waitUntilIdle(session);
        Views fresh(&recording, width);
        for (const auto& [start, stop] : {std::pair{0.0, duration}, {1.3, 2.9}, {0.2001, 2.0}, {3.1, duration}}) {
            source->samplesRead = 0;
            session.showPlace({{start, stop}, session.shown().band});
            waitUntilIdle(session);
            // Only the samples around column ends are read (several hundred per
            // column here, at most 1,024 of the ~900 to 3,500 a column holds).
            EXPECT_LT(source->samplesRead.load(), uint64_t(width) * 1024) << width << " " << start;
            fresh.spectrogram.setTimeRange(start, stop);
            fresh.power.setTimeRange(start, stop);
            fresh.amplitude.setTimeRange(start, stop);
            for (SpectrogramView* view : {&kept.spectrogram, &fresh.spectrogram}) {
                view->setStartFrequency(-fs / 2);
                view->setStopFrequency(fs / 2);
                view->rebuildImage();
            }
            EXPECT_EQ(kept.spectrogram.colourImage(), fresh.spectrogram.colourImage()) << width << " " << start;
            EXPECT_EQ(grab(kept.power.plotWidget()), grab(fresh.power.plotWidget())) << width << " " << start;
            EXPECT_EQ(grab(kept.amplitude.iPlotWidget()), grab(fresh.amplitude.iPlotWidget())) << width;
            EXPECT_EQ(grab(kept.amplitude.qPlotWidget()), grab(fresh.amplitude.qPlotWidget())) << width;
        }
        session.stop();
    }
}

// A band's trace, first shown over a short range, is kept by a pass in the
// background; the whole recording's trace is then put together from it (the
// views reading only around their columns' ends), as a pass over every sample
// draws it.
TEST(SummaryPictures, ANewBandsTraceIsKeptInTheBackground)
{
    static constexpr double fs = 1e6;
    static constexpr int width = 800;
    const double duration = double(uint64_t(1) << 22) / fs;
    const ValueRange band{-150e3, -50e3};
    struct Shown
    {
        Recording recording;
        Views views{&recording, width};
        TraceView trace{&recording};
        SpectrumModel model;
        ViewSession session{&recording};
        std::shared_ptr<CountedNoise> source = std::make_shared<CountedNoise>();

        // Opens the recording, whole, showing the trace of another band.
        Shown()
        {
            trace.resize(width, 200);
            trace.show();
            const ViewSet set{&views.spectrogram, &views.power, &views.amplitude, &views.spectrum, &trace};
            ViewSettings settings = startingSettings(set);
            settings.display.showTrace = true;
            settings.band = {100e3, 200e3};
            addViews(session, model, set);
            session.apply(settings);
            auto read = std::make_shared<Recording>();
            read->assignSource(uint32_t(fs), source);
            session.load(read, "noise");
            waitUntilIdle(session);
        }
        void show(double start, double stop, const ValueRange& band)
        {
            session.showPlace({{start, stop}, band});
            waitUntilIdle(session);
        }
    };
    Shown kept;
    kept.show(0.1, 0.2, band);
    QElapsedTimer clock;
    clock.start();
    while (kept.session.buildingSummaries() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    kept.source->samplesRead = 0;
    kept.show(0.0, duration, band);
    EXPECT_LT(kept.source->samplesRead.load(), uint64_t(width) * 1024);

    Shown fresh;
    fresh.show(0.0, duration, band);
    ASSERT_TRUE(fresh.trace.plotWidget()->hasCurve());
    EXPECT_EQ(grab(kept.trace.plotWidget()), grab(fresh.trace.plotWidget()));
    kept.session.stop();
    fresh.session.stop();
}
