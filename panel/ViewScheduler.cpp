// The views' computations: what runs when, over which range.

#include "panel/ViewScheduler.h"

#include "io/Recording.h"
#include "panel/JobRunner.h"
#include "panel/SummaryBuilds.h"
#include "plotdata/SummarySet.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/ViewComputation.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QEvent>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// How long a view whose width changed waits before it is computed again (a
// resize by dragging changes the width many times).
constexpr int refreshDelayMs = 150;
// A step whose pictures take longer than this shows sketches from the summaries meanwhile.
constexpr qint64 sketchDelayMs = 100;
// Recordings shorter than this are read whole in a moment: nothing is kept of them.
constexpr uint64_t smallestSummarisedRecording = uint64_t(1) << 22;
// The summary cache files of all recordings together, in the user's cache folder.
constexpr uint64_t summaryCacheCap = uint64_t(2) << 30;

// Buffers of at least this size are mapped from the system and handed back when
// freed. The work runs on threads of its own, each step on new ones, and glibc
// would otherwise keep freed large buffers in per-thread arenas, so that memory
// grew with every thread that ever held one.
constexpr int largeBufferBytes = 1 << 20;

void handLargeBuffersBack()
{
#ifdef __GLIBC__
    static const bool once = mallopt(M_MMAP_THRESHOLD, largeBufferBytes) != 0;
    (void)once;
#endif
}

// The summaries of a recording about to be loaded, cached in the user's cache
// folder when it has one.
std::shared_ptr<SummarySet> summariesOf(const std::shared_ptr<const SampleSource>& samples, double rate)
{
    if (!samples || samples->size() < smallestSummarisedRecording)
        return nullptr;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    std::optional<SummaryFolder> folder;
    if (!cache.isEmpty())
        folder = SummaryFolder((cache + "/summaries").toStdString(), summaryCacheCap);
    return std::make_shared<SummarySet>(samples, rate, std::move(folder));
}

} // namespace

ViewScheduler::ViewScheduler(Recording* recording, SpectrogramView* spectrogramView,
                             PowerView* powerView, AmplitudeView* amplitudeView,
                             SpectrumView* spectrumView, QObject* parent)
    : QObject(parent), recording(recording), spectrogramView(spectrogramView),
      powerView(powerView), amplitudeView(amplitudeView), spectrumView(spectrumView),
      jobs(std::make_unique<JobRunner>(this)), sketchJobs(std::make_unique<JobRunner>(this)),
      builds(std::make_unique<SummaryBuilds>(this)),
      refreshTimer(new QTimer(this)), deferTimer(new QTimer(this))
{
    deferTimer->setSingleShot(true);
    deferTimer->setInterval(0);
    connect(deferTimer, &QTimer::timeout, this, [this] {
        const std::function<void()> start = std::move(deferred);
        deferred = nullptr;
        if (start)
            start();
    });
    handLargeBuffersBack();
    jobs->setIdleHandler([this] { idle(); });
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(refreshDelayMs);
    connect(refreshTimer, &QTimer::timeout, this, [this] { refreshStaleViews(); });
    spectrogramView->setWidthChangedHandler([this] { requestRefresh(this->spectrogramView); });
    powerView->setWidthChangedHandler([this] { requestRefresh(this->powerView); });
    amplitudeView->setWidthChangedHandler([this] { requestRefresh(this->amplitudeView); });
    powerView->installEventFilter(this);
    amplitudeView->installEventFilter(this);
}

ViewScheduler::~ViewScheduler()
{
    stop();
}

void ViewScheduler::setHandlers(std::function<void()> started, std::function<void()> idle,
                                std::function<void(const QString&)> failed)
{
    onStarted = std::move(started);
    onIdle = std::move(idle);
    onFailed = std::move(failed);
}

bool ViewScheduler::busy() const
{
    return jobs->busy() || refreshTimer->isActive() || deferTimer->isActive();
}

bool ViewScheduler::computing() const
{
    return jobs->busy();
}

double ViewScheduler::progress() const
{
    return jobs->progress();
}

void ViewScheduler::cancel()
{
    if (deferTimer->isActive()) {
        deferTimer->stop();
        deferred = nullptr;
        idle();
    }
    jobs->cancel();
    sketchJobs->cancel();
    restoreAfterSketch();
}

void ViewScheduler::stop()
{
    refreshTimer->stop();
    deferTimer->stop();
    deferred = nullptr;
    jobs->stop();
    sketchJobs->stop();
    builds->stop();
}

void ViewScheduler::load(std::shared_ptr<const SampleSource> samples, uint32_t sampleRate,
                         TimeRange range, bool removeDc, const SpectrumSettings& spectrum,
                         const PowerCurveSettings& power, std::function<void()> commit,
                         std::function<void()> after)
{
    const uint64_t count = samples ? samples->size() : 0;
    builds->cancel();
    std::shared_ptr<SummarySet> fresh = summariesOf(samples, static_cast<double>(sampleRate));
    auto make = [this, sampleRate, count, range, spectrum, power, fresh] {
        return shownComputations(sampleRate, count, range, spectrum, power, fresh);
    };
    run(std::move(samples), static_cast<double>(sampleRate), range, removeDc, true, make, false,
        [this, fresh, commit = std::move(commit)] {
            summaries = fresh;
            if (commit)
                commit();
        },
        std::move(after), fresh);
}

void ViewScheduler::apply(const std::optional<TimeRange>& range,
                          const std::optional<SpectrogramSettings>& spectrogram,
                          const SpectrumSettings& spectrum, bool removeDc,
                          std::function<void()> after)
{
    const TimeRange over = range ? *range : shown;
    const double fs = static_cast<double>(recording->sampleRate());
    const uint64_t n = recording->sampleCount();
    // The spectrogram's columns are recomputed for a new range, FFT size or
    // overlap; otherwise the image is rebuilt from the columns already there.
    const bool newColumns =
        spectrogram && (spectrogram->exponent != appliedExponent || spectrogram->overlap != appliedOverlap);
    auto make = [this, fs, n, over, range, spectrogram, newColumns, spectrum] {
        Computations computations;
        if (newColumns)
            computations.push_back(spectrogramView->computation(fs, n, over.start, over.stop, spectrogram->exponent,
                                                                spectrogram->overlap, summaries));
        else if (range)
            computations.push_back(spectrogramComputation(fs, n, over));
        // Views the user has hidden are computed when they are shown again.
        if (range && !powerView->isHidden())
            computations.push_back(
                powerView->computation(fs, n, over.start, over.stop, powerView->settings(), summaries));
        if (range && !amplitudeView->isHidden())
            computations.push_back(amplitudeView->computation(fs, n, over.start, over.stop, summaries));
        computations.push_back(
            spectrumView->computation(recording->sampleRate(), n, over.start, over.stop, spectrum, summaries));
        return computations;
    };
    run(recording->samples(), fs, over, removeDc, range.has_value(), make, true, nullptr,
        [this, spectrogram, after = std::move(after)] {
            if (spectrogram)
                showSpectrogramSettings(*spectrogram);
            spectrogramView->rebuildImage();
            if (after)
                after();
        },
        summaries);
}

void ViewScheduler::showSpectrogramSettings(const SpectrogramSettings& settings)
{
    appliedExponent = settings.exponent;
    appliedOverlap = settings.overlap;
    spectrogramView->setRange(settings.range);
    spectrogramView->setStartFrequency(settings.startFrequency);
    spectrogramView->setStopFrequency(settings.stopFrequency);
    spectrogramView->setMirror(settings.mirror);
    spectrogramView->setColorMap(static_cast<ColorMapKind>(settings.colorMap));
    spectrogramView->setReferenceLevel(settings.referenceLevel);
}

void ViewScheduler::applyPower(const PowerCurveSettings& settings)
{
    if (!recording->isLoaded())
        return;
    // A hidden view takes the settings now and is computed when it shows again.
    if (powerView->isHidden()) {
        powerView->setSettings(settings);
        outdatedViews.insert(powerView);
        return;
    }
    const double fs = static_cast<double>(recording->sampleRate());
    auto make = [this, fs, settings] {
        Computations computations;
        computations.push_back(
            powerView->computation(fs, recording->sampleCount(), shown.start, shown.stop, settings, summaries));
        return computations;
    };
    run(recording->samples(), fs, shown, dcOffset.remove, false, make, true, nullptr, nullptr, summaries);
}

void ViewScheduler::setRemoveDc(bool remove)
{
    if (!recording->isLoaded())
        return;
    // The views follow at once, over the range they show.
    auto make = [this] {
        return shownComputations(recording->sampleRate(), recording->sampleCount(), shown, spectrumView->settings(),
                                 powerView->settings(), summaries);
    };
    run(recording->samples(), static_cast<double>(recording->sampleRate()), shown, remove, false, make, true,
        nullptr, [this] { spectrogramView->rebuildImage(); }, summaries);
}

void ViewScheduler::run(std::shared_ptr<const SampleSource> samples, double fs, TimeRange range,
                        bool removeDc, bool newRange, const std::function<Computations()>& make, bool sketch,
                        std::function<void()> before, std::function<void()> after,
                        const std::shared_ptr<SummarySet>& kept)
{
    deferTimer->stop();
    deferred = nullptr;
    if (before && !spectrogramView->window()->isVisible()) {
        deferred = [=, this] { startRun(samples, fs, range, removeDc, newRange, make, sketch, before, after, kept); };
        deferTimer->start();
        return;
    }
    startRun(std::move(samples), fs, range, removeDc, newRange, make, sketch, std::move(before), std::move(after),
             kept);
}

void ViewScheduler::startRun(std::shared_ptr<const SampleSource> samples, double fs, TimeRange range,
                             bool removeDc, bool newRange, const std::function<Computations()>& make, bool sketch,
                             std::function<void()> before, std::function<void()> after,
                             const std::shared_ptr<SummarySet>& kept)
{
    if (!samples)
        samples = memorySamples({}, {});
    const StreamRange streamed = streamRangeOf(fs, samples->size(), range.start, range.stop);
    auto work = std::make_shared<Computations>(make());
    auto offset = std::make_shared<DcOffset>();
    const bool load = static_cast<bool>(before);
    const uint64_t number = ++runs;
    sketchShown = false;
    builds->setPaused(true);
    if (sketch && kept) {
        // Twins of the computations, put together coarsely from the summaries
        // (with the offset they are kept for) if the run takes longer than a moment.
        const bool whole = streamed.first == 0 && streamed.end == samples->size();
        const std::optional<DcOffset> mean = kept->wholeMean();
        if (!removeDc || (whole && mean)) {
            const DcOffset sketchOffset = removeDc ? *mean : DcOffset{};
            QTimer::singleShot(sketchDelayMs, this, [this, number, make, sketchOffset] {
                if (number == runs && jobs->busy())
                    startSketches(number, make(), sketchOffset);
            });
        }
    }
    jobs->start(
        [samples, streamed, removeDc, work, offset, kept](WorkControl& control) {
            // The whole recording's mean is kept once found.
            const bool whole = streamed.first == 0 && streamed.end == samples->size();
            const std::optional<DcOffset> known = kept && whole ? kept->wholeMean() : std::nullopt;
            control.addPlanned(streamed.size() * (removeDc && !known ? 2 : 1));
            if (removeDc && known) {
                *offset = *known;
            } else if (removeDc) {
                *offset = rangeMean(*samples, streamed.first, streamed.end, control);
                if (kept && whole)
                    kept->setWholeMean(*offset);
            }
            std::vector<RangeComputation*> pointers;
            for (const auto& computation : *work)
                pointers.push_back(computation.get());
            runComputations(*samples, streamed, *offset, pointers, control, true);
        },
        [this, work, offset, range, removeDc, newRange, load, before = std::move(before),
         after = std::move(after)] {
            if (before)
                before();
            for (const auto& computation : *work)
                computation->present();
            const TimeRange over = newRange ? range : shown;
            // A hidden view left out is behind whenever the range or the offset moved.
            if (over.start != shown.start || over.stop != shown.stop || removeDc != dcOffset.remove || load)
                for (QWidget* view : {static_cast<QWidget*>(powerView), static_cast<QWidget*>(amplitudeView)})
                    if (view->isHidden())
                        outdatedViews.insert(view);
            shown = over;
            dcOffset = *offset;
            dcOffset.remove = removeDc;
            spectrogramView->setRemoveDc(removeDc);
            powerView->setRemoveDc(removeDc);
            amplitudeView->setRemoveDc(removeDc);
            spectrumView->setRemoveDc(removeDc);
            if (after)
                after();
            refreshViewsNeedingWidth();
        },
        [this](const QString& message) {
            restoreAfterSketch();
            if (onFailed)
                onFailed(message);
        });
    started.start();
    if (onStarted)
        onStarted();
}

void ViewScheduler::startSketches(uint64_t number, Computations made, const DcOffset& offset)
{
    auto sketches = std::make_shared<Computations>(std::move(made));
    auto shownOnes = std::make_shared<std::vector<ViewComputation*>>();
    sketchJobs->start(
        [sketches, shownOnes, offset](WorkControl&) {
            for (const auto& sketch : *sketches)
                if (sketch->sketchFromSummaries(offset))
                    shownOnes->push_back(sketch.get());
        },
        [this, number, sketches, shownOnes] {
            // Only while the run they belong to goes on.
            if (number != runs || !jobs->busy() || shownOnes->empty())
                return;
            for (ViewComputation* sketch : *shownOnes)
                sketch->present();
            spectrogramView->rebuildImage();
            sketchShown = true;
        },
        nullptr);
}

void ViewScheduler::restoreAfterSketch()
{
    // The views show a sketch of what was not computed: the range shown is
    // computed again (from the summaries, mostly) so that they say what the
    // fields say.
    if (!sketchShown || !recording->isLoaded())
        return;
    sketchShown = false;
    auto make = [this] {
        return shownComputations(recording->sampleRate(), recording->sampleCount(), shown, spectrumView->settings(),
                                 powerView->settings(), summaries);
    };
    run(recording->samples(), static_cast<double>(recording->sampleRate()), shown, dcOffset.remove, false, make,
        false, nullptr, [this] { spectrogramView->rebuildImage(); }, summaries);
}

std::unique_ptr<ViewComputation> ViewScheduler::spectrogramComputation(double fs, uint64_t count,
                                                                      TimeRange range)
{
    return spectrogramView->computation(
        fs, count, range.start, range.stop,
        static_cast<int>(std::log2(static_cast<double>(spectrogramView->fftSize()))),
        spectrogramView->overlap(), summaries);
}

std::vector<std::unique_ptr<ViewComputation>>
ViewScheduler::shownComputations(uint32_t rate, uint64_t count, TimeRange range,
                                 const SpectrumSettings& spectrum, const PowerCurveSettings& power,
                                 const std::shared_ptr<SummarySet>& kept)
{
    const double fs = static_cast<double>(rate);
    std::vector<std::unique_ptr<ViewComputation>> computations;
    computations.push_back(spectrogramView->computation(
        fs, count, range.start, range.stop,
        static_cast<int>(std::log2(static_cast<double>(spectrogramView->fftSize()))), spectrogramView->overlap(),
        kept));
    // Views the user has hidden are computed when they are shown again.
    if (!powerView->isHidden())
        computations.push_back(powerView->computation(fs, count, range.start, range.stop, power, kept));
    if (!amplitudeView->isHidden())
        computations.push_back(amplitudeView->computation(fs, count, range.start, range.stop, kept));
    computations.push_back(spectrumView->computation(rate, count, range.start, range.stop, spectrum, kept));
    return computations;
}

bool ViewScheduler::eventFilter(QObject* watched, QEvent* event)
{
    // A view left behind while hidden is computed as soon as it shows again.
    if (event->type() == QEvent::Show) {
        auto* view = static_cast<QWidget*>(watched);
        if (outdatedViews.erase(view))
            requestRefresh(view);
    }
    return QObject::eventFilter(watched, event);
}

void ViewScheduler::requestRefresh(QWidget* view)
{
    if (!recording->isLoaded())
        return;
    staleViews.insert(view);
    refreshTimer->start();
}

void ViewScheduler::refreshViewsNeedingWidth()
{
    if (spectrogramView->needsNewWidth())
        requestRefresh(spectrogramView);
    if (powerView->needsNewWidth())
        requestRefresh(powerView);
    if (amplitudeView->needsNewWidth())
        requestRefresh(amplitudeView);
}

void ViewScheduler::refreshStaleViews()
{
    if (staleViews.empty() || !recording->isLoaded())
        return;
    // Whatever runs finishes first; its own results may well be up to date.
    if (jobs->busy())
        return;
    for (QWidget* view : {static_cast<QWidget*>(powerView), static_cast<QWidget*>(amplitudeView)}) {
        if (staleViews.count(view) && view->isHidden()) {
            staleViews.erase(view);
            outdatedViews.insert(view);
        }
    }
    if (staleViews.empty())
        return;
    const double fs = static_cast<double>(recording->sampleRate());
    const uint64_t n = recording->sampleCount();
    const bool spectrogram = staleViews.count(spectrogramView) > 0;
    const bool power = staleViews.count(powerView) > 0;
    const bool amplitude = staleViews.count(amplitudeView) > 0;
    staleViews.clear();
    // A new width keeps the picture it has until the new one is there.
    auto make = [this, fs, n, spectrogram, power, amplitude] {
        Computations computations;
        if (spectrogram)
            computations.push_back(spectrogramComputation(fs, n, shown));
        if (power)
            computations.push_back(
                powerView->computation(fs, n, shown.start, shown.stop, powerView->settings(), summaries));
        if (amplitude)
            computations.push_back(amplitudeView->computation(fs, n, shown.start, shown.stop, summaries));
        return computations;
    };
    run(recording->samples(), fs, shown, dcOffset.remove, false, make, false, nullptr,
        [this, spectrogram] {
            if (spectrogram)
                spectrogramView->rebuildImage();
        },
        summaries);
}

void ViewScheduler::idle()
{
    if (!staleViews.empty())
        refreshTimer->start();
    builds->setPaused(false);
    requestSummaries();
    if (onIdle)
        onIdle();
}

void ViewScheduler::requestSummaries()
{
    if (!recording->isLoaded() || !summaries)
        return;
    SummaryNeeds needs;
    needs.exponent = static_cast<int>(std::log2(static_cast<double>(spectrogramView->fftSize())));
    needs.overlap = spectrogramView->overlap();
    needs.spectrum = spectrumView->settings();
    if (!powerView->isHidden())
        needs.power = powerView->settings();
    needs.amplitude = !amplitudeView->isHidden();
    needs.removeDc = dcOffset.remove;
    builds->request(summaries, recording->samples(), static_cast<double>(recording->sampleRate()), needs);
}
