// The session: settings shown and asked for, the kinds of view, and the jobs
// that compute them.

#include "session/ViewSession.h"

#include "io/CaptureLookup.h"
#include "io/Recording.h"
#include "plotdata/SummarySet.h"
#include "session/JobRunner.h"
#include "session/NativePath.h"
#include "session/SelectionExport.h"
#include "session/SummaryBuilds.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace {

// How long a view whose width changed waits before it is computed again (a
// resize by dragging changes the width many times).
constexpr int refreshDelayMs = 150;
// A job whose pictures take longer than this shows sketches from the summaries meanwhile.
constexpr int sketchDelayMs = 100;
// Recordings shorter than this are read whole in a moment: nothing is kept of them.
constexpr uint64_t smallestSummarisedRecording = uint64_t(1) << 22;
// The summary cache files of all recordings together, in the user's cache folder.
constexpr uint64_t summaryCacheCap = uint64_t(2) << 30;

// Buffers of at least this size are mapped from the system and handed back when
// freed. Otherwise glibc raises its mapping threshold once such a buffer is freed
// and keeps later ones in the arena of the thread that made them: with the worker
// pool's threads and each runner's own holding arenas, a 10^8-sample zoom walk
// held 212 MB of anonymous memory instead of 106 MB (peaks 212 and 144 MB).
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

QString messageOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return pathText(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected error");
    }
}

} // namespace

struct ViewSession::Job
{
    uint64_t number = 0;
    // What it computes for; a newer request that changes only what needs no
    // computing takes its place here.
    ViewSettings settings;
    std::vector<ViewKind*> kinds;
    // Kinds with a computation, and their computations in the same order.
    std::vector<ViewKind*> computing;
    std::shared_ptr<std::vector<std::unique_ptr<ViewComputation>>> computations;
    std::shared_ptr<DcOffset> offset = std::make_shared<DcOffset>();
    // A load: the recording read on the side, its path and summaries.
    std::shared_ptr<Recording> fresh;
    QString path;
    std::shared_ptr<const SampleSource> samples;
    double sampleRate = 0;
    std::shared_ptr<SummarySet> summaries;
    bool restore = false;
};

ViewSession::ViewSession(Recording* recording, QObject* parent)
    : QObject(parent), shownRecording(recording), jobs(std::make_unique<JobRunner>(this, WorkLane::foreground)),
      sketchJobs(std::make_unique<JobRunner>(this, WorkLane::sketch)), builds(std::make_unique<SummaryBuilds>(this)),
      exporter(std::make_unique<SelectionExport>(recording, this)), refreshTimer(new QTimer(this)),
      deferTimer(new QTimer(this))
{
    handLargeBuffersBack();
    jobs->setIdleHandler([this] { idle(); });
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(refreshDelayMs);
    connect(refreshTimer, &QTimer::timeout, this, [this] {
        refreshNewWidthsNow();
    });
    deferTimer->setSingleShot(true);
    deferTimer->setInterval(0);
    connect(deferTimer, &QTimer::timeout, this, [this] {
        runJob();
        updateBusy();
    });
}

ViewSession::~ViewSession()
{
    stop();
    // Views may outlive the session (their widgets are destroyed later):
    // they must not call back into it.
    for (KindState& state : kinds)
        state.kind->attach(nullptr);
}

void ViewSession::addView(ViewKind* kind)
{
    if (!kind || stateOf(kind))
        return;
    kinds.push_back(KindState{kind, std::nullopt, false});
    kind->attach(this);
}

void ViewSession::removeView(ViewKind* kind)
{
    kind->attach(nullptr);
    kinds.erase(std::remove_if(kinds.begin(), kinds.end(), [kind](const KindState& s) { return s.kind == kind; }),
                kinds.end());
    if (job) {
        auto& listed = job->kinds;
        if (std::find(listed.begin(), listed.end(), kind) != listed.end()) {
            // Its computation may present into it: the job goes.
            job.reset();
            jobs->cancel();
            sketchJobs->cancel();
        }
    }
}

ViewSession::KindState* ViewSession::stateOf(ViewKind* kind)
{
    for (KindState& state : kinds)
        if (state.kind == kind)
            return &state;
    return nullptr;
}

bool ViewSession::isLoaded() const
{
    return shownRecording->isLoaded();
}

double ViewSession::frequencyOffset() const
{
    return offsetUnder(shownSettings, shownSettings.range.start);
}

double ViewSession::frequencyOffsetAt(double seconds) const
{
    return offsetUnder(shownSettings, seconds);
}

double ViewSession::offsetUnder(const ViewSettings& settings, double seconds) const
{
    if (!settings.display.absoluteFrequency || !isLoaded() || !std::isfinite(seconds))
        return 0.0;
    const double fs = static_cast<double>(shownRecording->sampleRate());
    const uint64_t count = shownRecording->sampleCount();
    const double at = std::floor(seconds * fs);
    const uint64_t sample = at <= 0 ? 0
                            : at >= static_cast<double>(count) ? count - (count > 0 ? 1 : 0)
                                                                : static_cast<uint64_t>(at);
    const std::optional<double> centre = centreFrequencyAt(shownRecording->info(), sample);
    return centre && std::isfinite(*centre) ? *centre : 0.0;
}

ValueRange ViewSession::bandLimits() const
{
    if (!isLoaded())
        return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    return wholeBand(shownRecording->sampleRate());
}

double ViewSession::duration() const
{
    return isLoaded() ? durationOf(*shownRecording) : std::numeric_limits<double>::quiet_NaN();
}

bool ViewSession::needsComputing(const KindState& state, const ViewSettings& next) const
{
    return !state.computedFor || state.newWidth || state.kind->outdated(*state.computedFor, next);
}

void ViewSession::load(std::shared_ptr<Recording> fresh, const QString& path)
{
    if (!fresh)
        return;
    builds->cancel();
    const ViewSettings settings = settingsForRecording(shownSettings, *fresh);
    std::vector<ViewKind*> active;
    for (const KindState& state : kinds)
        if (state.kind->active(settings))
            active.push_back(state.kind);
    startJob(settings, std::move(active), false, std::move(fresh), path);
    updateBusy();
}

std::vector<ViewKind*> ViewSession::views() const
{
    std::vector<ViewKind*> all;
    for (const KindState& state : kinds)
        all.push_back(state.kind);
    return all;
}

void ViewSession::apply(const ViewSettings& next, const std::vector<ViewKind*>& recompute)
{
    if (!isLoaded()) {
        shownSettings = next;
        requestedSettings = next;
        presentAll(shownSettings, {});
        emit settingsApplied(shownSettings);
        return;
    }
    if (const std::optional<QString> problem = settingsProblem(next, *shownRecording)) {
        reportFailure(*problem);
        return;
    }
    cancelled = false;
    std::vector<ViewKind*> todo;
    for (const KindState& state : kinds)
        if (state.kind->active(next)
            && (needsComputing(state, next)
                || std::find(recompute.begin(), recompute.end(), state.kind) != recompute.end()))
            todo.push_back(state.kind);
    const bool newOffset = next.removeDc && (!shownOffset.remove || !(next.range == shownSettings.range));
    // A running job that computes all this already only takes the new settings
    // to present.
    if (job && !job->fresh && !job->restore && recompute.empty() && job->settings.range == next.range
        && job->settings.removeDc == next.removeDc
        && std::all_of(todo.begin(), todo.end(), [&](ViewKind* kind) {
               return std::find(job->kinds.begin(), job->kinds.end(), kind) != job->kinds.end()
                      && !kind->outdated(job->settings, next);
           })) {
        job->settings = next;
        requestedSettings = next;
        return;
    }
    if (todo.empty() && !newOffset) {
        if (job) {
            job.reset();
            sketchJobs->cancel();
            jobs->cancel();
        }
        shownSettings = next;
        requestedSettings = next;
        shownOffset.remove = next.removeDc;
        presentAll(shownSettings, {});
        history.visit({shownSettings.range, shownSettings.band});
        emit settingsApplied(shownSettings);
        emit viewsPresented();
        updateBusy();
        return;
    }
    // A view shown again shows at once; it is computed once laid out at its width.
    bool appearing = false;
    const double offset = offsetUnder(next, next.range.start);
    for (const KindState& state : kinds)
        if (!state.kind->active(requestedSettings) && state.kind->active(next)) {
            appearing = true;
            presenting = true;
            try {
                state.kind->present({next, offset, false});
            } catch (...) {
                reportFailure(messageOf(std::current_exception()));
            }
            presenting = false;
        }
    startJob(next, std::move(todo), false, nullptr, QString(), appearing);
    updateBusy();
}

void ViewSession::showPlace(const ViewPlace& place)
{
    ViewSettings next = requestedSettings;
    next.range = place.range;
    next.band = place.band;
    apply(next);
}

void ViewSession::goBack()
{
    if (!isLoaded())
        return;
    if (const std::optional<ViewPlace> place = history.back())
        showPlace(*place);
}

void ViewSession::goForward()
{
    if (!isLoaded())
        return;
    if (const std::optional<ViewPlace> place = history.forward())
        showPlace(*place);
}

void ViewSession::showWholeRecording()
{
    if (!isLoaded())
        return;
    const ViewPlace whole{{0.0, duration()}, bandLimits()};
    if (whole == ViewPlace{shownSettings.range, shownSettings.band} && !busy())
        return;
    showPlace(whole);
}

void ViewSession::startJob(const ViewSettings& settings, std::vector<ViewKind*> todo, bool restore,
                           std::shared_ptr<Recording> fresh, const QString& path, bool laterOn)
{
    if (!restore)
        cancelled = false;
    sketchJobs->cancel();
    auto next = std::make_unique<Job>();
    next->number = ++runs;
    next->settings = settings;
    next->kinds = std::move(todo);
    next->restore = restore;
    next->path = path;
    if (fresh) {
        next->samples = fresh->samples();
        next->sampleRate = static_cast<double>(fresh->sampleRate());
        next->summaries = summariesOf(next->samples, next->sampleRate);
        next->fresh = std::move(fresh);
    } else {
        next->samples = shownRecording->samples();
        next->sampleRate = static_cast<double>(shownRecording->sampleRate());
        next->summaries = kept;
        if (!restore)
            requestedSettings = settings;
    }
    if (!next->samples)
        next->samples = memorySamples({}, {});
    job = std::move(next);
    sketchShown = false;
    deferTimer->stop();
    // A load asked for before the window is shown (a recording named on the
    // command line) starts once it is laid out, so that it is computed once,
    // at the widths shown.
    const bool waiting = std::any_of(job->kinds.begin(), job->kinds.end(),
                                     [](const ViewKind* kind) { return !kind->laidOut(); });
    if ((job->fresh && waiting) || laterOn) {
        // Whatever ran stops now, as for any new work.
        deferTimer->start();
        jobs->cancel();
        return;
    }
    runJob();
}

void ViewSession::runJob()
{
    if (!job)
        return;
    Job& j = *job;
    const uint64_t number = j.number;
    const RecordingFacts facts{j.sampleRate, j.samples->size(), j.summaries, j.samples};
    j.computations = std::make_shared<std::vector<std::unique_ptr<ViewComputation>>>();
    try {
        for (ViewKind* kind : j.kinds)
            if (std::unique_ptr<ViewComputation> made = kind->computation(j.settings, facts)) {
                j.computing.push_back(kind);
                j.computations->push_back(std::move(made));
            }
    } catch (...) {
        const QString message = messageOf(std::current_exception());
        job.reset();
        jobs->cancel();
        reportFailure(message);
        return;
    }
    const StreamRange streamed = streamRangeOf(j.sampleRate, j.samples->size(), j.settings.range.start,
                                               j.settings.range.stop);
    // Without a view to compute (a command line that only exports) nothing is read.
    const bool removeDc = j.settings.removeDc && !j.computations->empty();
    builds->setPaused(true);
    if (!j.restore && j.summaries) {
        // Twins of the computations, put together coarsely from the summaries
        // (with the offset they are kept for), if the job takes longer than a moment.
        const bool whole = streamed.first == 0 && streamed.end == j.samples->size();
        const std::optional<DcOffset> mean = j.summaries->wholeMean();
        if (!removeDc || (whole && mean))
            QTimer::singleShot(sketchDelayMs, this, [this, number] { startSketches(number); });
    }
    jobs->start(
        [samples = j.samples, streamed, removeDc, work = j.computations, offset = j.offset,
         kept = j.summaries](WorkControl& control) {
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
        [this, number] { finishJob(number); },
        [this, number](const QString& message) { jobFailed(number, message); });
}

void ViewSession::startSketches(uint64_t number)
{
    if (!job || job->number != number || !jobs->busy() || !job->summaries)
        return;
    const RecordingFacts facts{job->sampleRate, job->samples->size(), job->summaries, job->samples};
    DcOffset offset;
    if (job->settings.removeDc)
        offset = job->summaries->wholeMean().value_or(DcOffset{});
    auto kindsSketched = std::make_shared<std::vector<ViewKind*>>();
    auto sketches = std::make_shared<std::vector<std::unique_ptr<ViewComputation>>>();
    try {
        for (ViewKind* kind : job->computing)
            if (std::unique_ptr<ViewComputation> made = kind->computation(job->settings, facts)) {
                kindsSketched->push_back(kind);
                sketches->push_back(std::move(made));
            }
    } catch (...) {
        return;
    }
    auto made = std::make_shared<std::vector<bool>>(sketches->size(), false);
    sketchJobs->start(
        [sketches, made, offset](WorkControl&) {
            for (size_t k = 0; k < sketches->size(); ++k)
                (*made)[k] = (*sketches)[k]->sketchFromSummaries(offset);
        },
        [this, number, sketches, made, kindsSketched] {
            // Only while the job they belong to goes on.
            if (!job || job->number != number || !jobs->busy())
                return;
            std::vector<ViewKind*> shownSketches;
            QString failure;
            for (size_t k = 0; k < sketches->size(); ++k) {
                if (!(*made)[k] || !stateOf((*kindsSketched)[k]))
                    continue;
                try {
                    (*sketches)[k]->present();
                } catch (...) {
                    failure = messageOf(std::current_exception());
                }
                stateOf((*kindsSketched)[k])->computedFor.reset();
                shownSketches.push_back((*kindsSketched)[k]);
            }
            if (shownSketches.empty())
                return;
            sketchShown = true;
            const double offsetHz = offsetUnder(job->settings, job->settings.range.start);
            presenting = true;
            for (ViewKind* kind : shownSketches) {
                try {
                    kind->present({job->settings, offsetHz, true});
                } catch (...) {
                    failure = messageOf(std::current_exception());
                }
            }
            presenting = false;
            emit viewsPresented();
            if (!failure.isEmpty())
                reportFailure(failure);
        },
        nullptr);
}

void ViewSession::finishJob(uint64_t number)
{
    if (!job || job->number != number)
        return;
    const std::unique_ptr<Job> done = std::move(job);
    if (done->fresh) {
        shownRecording->swap(*done->fresh);
        done->fresh->assign(0, {}, {}); // frees the previous samples
        kept = done->summaries;
        for (KindState& state : kinds) {
            state.computedFor.reset();
            state.newWidth = false;
        }
    }
    QString failure;
    std::vector<ViewKind*> computed;
    for (size_t k = 0; k < done->computing.size(); ++k) {
        KindState* state = stateOf(done->computing[k]);
        if (!state)
            continue;
        try {
            (*done->computations)[k]->present();
            state->computedFor = done->settings;
            state->newWidth = false;
            computed.push_back(state->kind);
        } catch (...) {
            failure = messageOf(std::current_exception());
            state->computedFor.reset();
        }
    }
    // Kinds that only present what others compute are up to date with them.
    for (ViewKind* kind : done->kinds)
        if (std::find(done->computing.begin(), done->computing.end(), kind) == done->computing.end())
            if (KindState* state = stateOf(kind)) {
                state->computedFor = done->settings;
                state->newWidth = false;
                computed.push_back(kind);
            }
    shownSettings = done->settings;
    requestedSettings = shownSettings;
    shownOffset = *done->offset;
    shownOffset.remove = shownSettings.removeDc;
    sketchShown = false;
    const ViewPlace place{shownSettings.range, shownSettings.band};
    if (done->fresh)
        history.reset(place);
    else if (!done->restore)
        history.visit(place);
    presentAll(shownSettings, computed);
    if (done->fresh)
        emit recordingLoaded(done->path);
    emit settingsApplied(shownSettings);
    emit viewsPresented();
    if (!failure.isEmpty()) {
        emit failed(failure);
        if (!done->restore)
            restore();
    }
    refreshNewWidths();
    updateBusy();
}

void ViewSession::jobFailed(uint64_t number, const QString& message)
{
    if (!job || job->number != number)
        return;
    const bool wasRestore = job->restore;
    job.reset();
    sketchJobs->cancel();
    if (!wasRestore)
        restore();
    emit failed(message);
    updateBusy();
}

void ViewSession::restore()
{
    if (!isLoaded())
        return;
    // What the abandoned settings presented at once (a view shown, a band)
    // goes back to the settings shown.
    presentAll(shownSettings, {});
    std::vector<ViewKind*> stale;
    for (const KindState& state : kinds)
        if (state.kind->active(shownSettings) && needsComputing(state, shownSettings))
            stale.push_back(state.kind);
    if (!stale.empty())
        startJob(shownSettings, std::move(stale), true);
}

void ViewSession::presentAll(const ViewSettings& settings, const std::vector<ViewKind*>& computed)
{
    const double offset = offsetUnder(settings, settings.range.start);
    QString failure;
    presenting = true;
    for (const KindState& state : kinds) {
        const bool fresh = std::find(computed.begin(), computed.end(), state.kind) != computed.end();
        try {
            state.kind->present({settings, offset, fresh});
        } catch (...) {
            failure = messageOf(std::current_exception());
        }
    }
    presenting = false;
    if (!failure.isEmpty())
        reportFailure(failure);
}

void ViewSession::cancel()
{
    const bool running = computing() || deferTimer->isActive();
    if (running)
        cancelled = true;
    deferTimer->stop();
    job.reset();
    requestedSettings = shownSettings;
    sketchJobs->cancel();
    jobs->cancel();
    exporter->cancel();
    restore();
    emit settingsApplied(shownSettings);
    updateBusy();
}

void ViewSession::stop()
{
    refreshTimer->stop();
    deferTimer->stop();
    job.reset();
    jobs->stop();
    sketchJobs->stop();
    builds->stop();
    exporter->stop();
}

void ViewSession::exportSelection(const QString& path, bool onlyBand, std::function<void(const QString&)> done)
{
    if (!isLoaded()) {
        if (done)
            done(QStringLiteral("No recording is open"));
        return;
    }
    cancelled = false;
    SelectionExport::Selection selection{shownSettings.range.start, shownSettings.range.stop, shownSettings.band.low,
                                         shownSettings.band.high, onlyBand};
    exporter->start(path, selection, [this, done = std::move(done)](const QString& failure) {
        if (!failure.isEmpty() && failure != QLatin1String("Cancelled"))
            emit failed(failure);
        if (done)
            done(failure);
        updateBusy();
    });
    updateBusy();
}

bool ViewSession::busy() const
{
    return jobs->busy() || refreshTimer->isActive() || deferTimer->isActive() || exporter->busy();
}

bool ViewSession::buildingSummaries() const
{
    return builds->busy();
}

bool ViewSession::computing() const
{
    return jobs->busy() || exporter->busy();
}

double ViewSession::progress() const
{
    return exporter->busy() ? exporter->progress() : jobs->progress();
}

void ViewSession::viewWidthChanged(ViewKind* kind)
{
    KindState* state = stateOf(kind);
    if (!state || !isLoaded())
        return;
    state->newWidth = true;
    refreshTimer->start();
    updateBusy();
}

void ViewSession::viewGone(ViewKind* kind)
{
    removeView(kind);
}

void ViewSession::viewVisibilityChanged(ViewKind* kind, bool visible)
{
    if (presenting || !stateOf(kind) || kind->active(requestedSettings) == visible)
        return;
    // Shown or hidden by other means than the settings: the settings follow,
    // once the change that did it has returned.
    QTimer::singleShot(0, this, [this, kind, visible] {
        if (!stateOf(kind) || kind->active(requestedSettings) == visible)
            return;
        ViewSettings next = requestedSettings;
        kind->setShown(next, visible);
        if (kind->active(next) == visible)
            apply(next);
    });
}

void ViewSession::refreshNewWidths()
{
    bool any = false;
    for (KindState& state : kinds)
        if (state.kind->active(shownSettings) && state.computedFor && state.kind->needsNewWidth()) {
            state.newWidth = true;
            any = true;
        }
    if (any)
        refreshTimer->start();
}

void ViewSession::refreshNewWidthsNow()
{
    // Whatever runs finishes first; its own results may well be up to date.
    if (!isLoaded() || jobs->busy()) {
        updateBusy();
        return;
    }
    std::vector<ViewKind*> todo;
    for (KindState& state : kinds) {
        if (!state.newWidth)
            continue;
        if (!state.kind->active(shownSettings)) {
            // Computed for the new width when it shows again.
            state.computedFor.reset();
            state.newWidth = false;
            continue;
        }
        todo.push_back(state.kind);
    }
    if (!todo.empty())
        startJob(shownSettings, std::move(todo), true);
    updateBusy();
}

void ViewSession::idle()
{
    if (std::any_of(kinds.begin(), kinds.end(), [](const KindState& s) { return s.newWidth; }))
        refreshTimer->start();
    builds->setPaused(false);
    requestSummaries();
    updateBusy();
}

void ViewSession::requestSummaries()
{
    if (!isLoaded() || !kept)
        return;
    SummaryNeeds needs;
    for (const KindState& state : kinds)
        if (state.kind->active(requestedSettings))
            state.kind->addSummaryNeeds(requestedSettings, needs);
    needs.removeDc = shownOffset.remove;
    builds->request(kept, shownRecording->samples(), static_cast<double>(shownRecording->sampleRate()), needs);
}

void ViewSession::reportFailure(const QString& message)
{
    emit failed(message);
}

void ViewSession::updateBusy()
{
    const bool now = busy();
    if (now == lastBusy)
        return;
    lastBusy = now;
    emit busyChanged(now);
}
