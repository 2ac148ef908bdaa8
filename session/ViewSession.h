#pragma once
// The one model behind the window: the recording shown and the settings its
// views show (one ViewSettings, and the one asked for while it is computed),
// the kinds of view it computes and presents, and the work that computes them
// in the background: one job at a time, a newer one replacing the older, a
// sketch from the summaries while a job takes long, the summaries the settings
// lack built when nothing else runs. The form, the mouse and the command line
// ask it with settings; the views present what it hands them; any number of
// listeners follow its signals.

#include "dsp/BlockStream.h"
#include "session/ViewHistory.h"
#include "session/ViewKind.h"
#include "session/ViewSettings.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class JobRunner;
class QTimer;
class Recording;
class SelectionExport;
class SummaryBuilds;
class SummarySet;

class ViewSession : public QObject, private ViewHost
{
    Q_OBJECT

public:
    // The recording outlives the session.
    explicit ViewSession(Recording* recording, QObject* parent = nullptr);
    ~ViewSession() override;

    // A kind of view computed and presented from now on, in the order added. It
    // is removed again before it goes (or outlives the session).
    void addView(ViewKind* kind);
    void removeView(ViewKind* kind);

    const Recording& recording() const { return *shownRecording; }
    bool isLoaded() const;
    // The settings the views show, and those asked for (being computed, or the same).
    const ViewSettings& shown() const { return shownSettings; }
    const ViewSettings& requested() const { return requestedSettings; }
    // The DC offset taken out of the views shown (`remove` unset when none is).
    DcOffset removedOffset() const { return shownOffset; }
    // Hertz the frequency axes add: while absolute frequencies are shown, the
    // centre frequency of the capture holding the view's start (or time
    // `seconds`), else 0.
    double frequencyOffset() const;
    double frequencyOffsetAt(double seconds) const;
    // The recording's whole band (-(fs / 2) ... fs / 2) and its duration; NaN before a load.
    ValueRange bandLimits() const;
    double duration() const;
    // The summaries kept of the recording shown (null for a short one).
    std::shared_ptr<SummarySet> summaries() const { return kept; }

    // A recording read on the side becomes the one shown, with the settings it
    // takes (settingsForRecording of those asked for), once its views are
    // computed; a cancel or a failure leaves the previous one as it was.
    void load(std::shared_ptr<Recording> fresh, const QString& path);
    // The views with these settings: what they change is computed in the
    // background and then presented, what needs no computing is presented at
    // once; the kinds in `recompute` are computed anew even when nothing of
    // theirs changed (an Apply button computes what it covers). Settings the
    // recording cannot take are refused (failed). Before any recording they
    // are kept for the first load.
    void apply(const ViewSettings& next, const std::vector<ViewKind*>& recompute = {});
    // The kinds added, in order.
    std::vector<ViewKind*> views() const;
    // The settings asked for with another range and band (a gesture: nothing
    // else changes).
    void showPlace(const ViewPlace& place);
    // The place before or after in the history of ranges and bands shown; the
    // whole recording and band.
    void goBack();
    void goForward();
    void showWholeRecording();

    // Writes the range shown (and the band, with onlyBand) to `path` in the
    // background; `done` gets an empty text when the file is written, else the
    // reason ("Cancelled" after a cancel).
    void exportSelection(const QString& path, bool onlyBand, std::function<void(const QString& failure)> done);

    // Whether work runs or is about to (a load waiting for the window, a
    // refresh after a resize).
    bool busy() const;
    // Whether a computation or an export runs now.
    bool computing() const;
    // Whether summaries are being built in the background.
    bool buildingSummaries() const;
    // Progress of the running work, 0 ... 1.
    double progress() const;
    // Whether the last work ended by a cancel (until new work is asked for).
    bool wasCancelled() const { return cancelled; }
    // Stops the running work, dropping its results: the views show what they
    // showed (a sketch is computed again for the settings shown).
    void cancel();
    // Stops all work and waits for it (the window is closing).
    void stop();

signals:
    // A new recording is shown (its settings are applied right after).
    void recordingLoaded(const QString& path);
    // The views show these settings (after a load, an apply, a cancel).
    void settingsApplied(const ViewSettings& shown);
    void busyChanged(bool busy);
    // New pictures or results are shown.
    void viewsPresented();
    // A load, an apply or a presentation failed: the views show what they showed.
    void failed(const QString& message);

private:
    struct KindState
    {
        ViewKind* kind;
        // The settings its result was computed for; nothing before one, or
        // while it shows a sketch.
        std::optional<ViewSettings> computedFor;
        // Computed for another width than its plot has now.
        bool newWidth = false;
    };
    struct Job;

    void viewWidthChanged(ViewKind* kind) override;
    void viewVisibilityChanged(ViewKind* kind, bool visible) override;
    void viewGone(ViewKind* kind) override;
    KindState* stateOf(ViewKind* kind);
    bool needsComputing(const KindState& state, const ViewSettings& next) const;
    // Starts a job computing `kinds` for `settings`; with a fresh recording,
    // a load. A restore (after a cancel or a failure) shows no sketch. With
    // laterOn (or a load while a kind is not laid out yet) the computations are
    // made at the next turn of the event loop, once new layouts are done.
    void startJob(const ViewSettings& settings, std::vector<ViewKind*> kinds, bool restore,
                  std::shared_ptr<Recording> fresh = nullptr, const QString& path = QString(),
                  bool laterOn = false);
    void runJob();
    void finishJob(uint64_t number);
    void jobFailed(uint64_t number, const QString& message);
    void startSketches(uint64_t number);
    // The views computed again for the settings shown where they show
    // something else (a sketch, a failed presentation).
    void restore();
    // Presents the settings to every kind (those just computed say so).
    void presentAll(const ViewSettings& settings, const std::vector<ViewKind*>& computed);
    void refreshNewWidths();
    void refreshNewWidthsNow();
    // The offset the frequency axes add under `settings` at time `seconds`.
    double offsetUnder(const ViewSettings& settings, double seconds) const;
    void idle();
    void requestSummaries();
    void reportFailure(const QString& message);
    void updateBusy();

    Recording* shownRecording;
    std::vector<KindState> kinds;
    ViewSettings shownSettings;
    ViewSettings requestedSettings;
    DcOffset shownOffset;
    std::shared_ptr<SummarySet> kept;
    ViewHistory history;
    std::unique_ptr<JobRunner> jobs;
    std::unique_ptr<JobRunner> sketchJobs;
    std::unique_ptr<SummaryBuilds> builds;
    std::unique_ptr<SelectionExport> exporter;
    QTimer* refreshTimer;
    QTimer* deferTimer;
    std::unique_ptr<Job> job;
    uint64_t runs = 0;
    bool sketchShown = false;
    bool cancelled = false;
    bool lastBusy = false;
    // Set while the kinds present: what they show or hide is the settings' doing.
    bool presenting = false;
};
