#pragma once
// What the four views are computed over, and when: it alone holds the time range
// and DC offset the views show, runs their computations in the background (one
// job at a time, a newer one replacing the older), leaves hidden views out until
// they show again, and computes a view again when its plot changed width.

#include "dsp/BlockStream.h"
#include "plotdata/PowerCurveStream.h"
#include "plotdata/SpectrumPass.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class AmplitudeView;
class JobRunner;
class PowerView;
class QTimer;
class QWidget;
class Recording;
class SampleSource;
class SpectrogramView;
class SummarySet;
class SpectrumView;
class SummaryBuilds;
class ViewComputation;

// The spectrogram's settings as an Apply gives them.
struct SpectrogramSettings
{
    int exponent = 8;
    // Fraction 0 ... 1.
    double overlap = 0.8;
    double range = 40;
    double startFrequency = 0;
    double stopFrequency = 0;
    bool mirror = false;
    // Index of the colour map (viridis, inferno, magma, grey) and the top of
    // the scale in dB/Hz, or nothing for the band's strongest value.
    int colorMap = 0;
    std::optional<double> referenceLevel;
};

struct TimeRange
{
    double start = 0;
    double stop = 0;
};

class ViewScheduler : public QObject
{
public:
    // The views must outlive the scheduler's work (stop() ends it).
    ViewScheduler(Recording* recording, SpectrogramView* spectrogramView, PowerView* powerView,
                  AmplitudeView* amplitudeView, SpectrumView* spectrumView, QObject* parent);
    ~ViewScheduler() override;

    // Called when a job starts, when the scheduler becomes idle (after a result, a
    // failure or a cancel), and with the message of a failure.
    void setHandlers(std::function<void()> started, std::function<void()> idle,
                     std::function<void(const QString&)> failed);

    // Whether work runs or is about to (a refresh waiting for a resize to settle).
    bool busy() const;
    // Whether a computation runs now.
    bool computing() const;
    // Progress of the running job, 0 ... 1.
    double progress() const;
    // Stops the running job, dropping its result.
    void cancel();
    // Stops all work and waits for its threads.
    void stop();

    // The time range the views show, and the DC offset taken out of them.
    TimeRange shownRange() const { return shown; }
    bool dcRemoved() const { return dcOffset.remove; }
    DcOffset removedOffset() const { return dcOffset; }

    // Every shown view over `range` of a new recording's samples with the views'
    // settings (the spectrum's and the power's as given); `commit` (which makes it
    // the recording) runs before they are presented, `after` once they are.
    void load(std::shared_ptr<const SampleSource> samples, uint32_t sampleRate, TimeRange range,
              bool removeDc, const SpectrumSettings& spectrum, const PowerCurveSettings& power,
              std::function<void()> commit, std::function<void()> after);
    // A new time range (all views), new frequency settings (the spectrogram's
    // columns only when the FFT size or overlap changed, and the spectrum), or
    // both; `after` runs once they are presented.
    void apply(const std::optional<TimeRange>& range, const std::optional<SpectrogramSettings>& spectrogram,
               const SpectrumSettings& spectrum, bool removeDc, std::function<void()> after);
    // The power view with new settings, over the range shown.
    void applyPower(const PowerCurveSettings& settings);
    // Every view over the range shown with the DC offset removed or not.
    void setRemoveDc(bool remove);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Computations = std::vector<std::unique_ptr<ViewComputation>>;
    // Computes the computations `make` gives over `range` of the samples in the
    // background; then, on the GUI thread, runs `before`, presents them and
    // runs `after`. With `newRange` the range becomes the one shown. `kept` are
    // the summaries of the samples (the whole recording's DC offset is kept
    // there). With `sketch`, views that need a pass show a coarser picture from
    // the summaries (a second set of computations) if theirs takes longer than
    // a moment.
    void run(std::shared_ptr<const SampleSource> samples, double fs, TimeRange range, bool removeDc,
             bool newRange, const std::function<Computations()>& make, bool sketch,
             std::function<void()> before, std::function<void()> after,
             const std::shared_ptr<SummarySet>& kept);
    // A load asked for before the window is shown (a recording named on the
    // command line) starts once the window is laid out, so that it is computed
    // once, at the widths shown; busy() meanwhile. Any other run drops it.
    void startRun(std::shared_ptr<const SampleSource> samples, double fs, TimeRange range, bool removeDc,
                  bool newRange, const std::function<Computations()>& make, bool sketch,
                  std::function<void()> before, std::function<void()> after,
                  const std::shared_ptr<SummarySet>& kept);
    // Puts run `number`'s sketches together on a thread of their own and
    // presents them while that run goes on.
    void startSketches(uint64_t number, Computations made, const DcOffset& offset);
    // After a cancel or a failure, the views showing a sketch show the range
    // shown again.
    void restoreAfterSketch();
    // Builds in the background the summaries the views' settings need and lack.
    void requestSummaries();
    // The spectrogram's computation with its current FFT size and overlap.
    std::unique_ptr<ViewComputation> spectrogramComputation(double fs, uint64_t count, TimeRange range);
    // Every shown view's computation with its current settings (the spectrum's
    // as given), with the summaries of the recording they read.
    std::vector<std::unique_ptr<ViewComputation>> shownComputations(uint32_t rate, uint64_t count,
                                                                    TimeRange range,
                                                                    const SpectrumSettings& spectrum,
                                                                    const PowerCurveSettings& power,
                                                                    const std::shared_ptr<SummarySet>& kept);
    void showSpectrogramSettings(const SpectrogramSettings& settings);
    // A view's plot width changed under results computed for another, or a view
    // shows again after it was left behind: it is computed again (after a short
    // pause, and once nothing else runs).
    void requestRefresh(QWidget* view);
    void refreshViewsNeedingWidth();
    void refreshStaleViews();
    void idle();

    Recording* recording;
    SpectrogramView* spectrogramView;
    PowerView* powerView;
    AmplitudeView* amplitudeView;
    SpectrumView* spectrumView;
    std::unique_ptr<JobRunner> jobs;
    std::unique_ptr<JobRunner> sketchJobs;
    std::unique_ptr<SummaryBuilds> builds;
    QTimer* refreshTimer;
    QTimer* deferTimer;
    std::function<void()> deferred;
    std::function<void()> onStarted;
    std::function<void()> onIdle;
    std::function<void(const QString&)> onFailed;
    TimeRange shown;
    DcOffset dcOffset;
    // FFT exponent and overlap the spectrogram's columns were last computed with;
    // 0 never matches an exponent (at least 1), so the first Apply recomputes.
    int appliedExponent = 0;
    double appliedOverlap = -1;
    // What is kept of the recording to compute its ranges quickly (null for a
    // short one).
    std::shared_ptr<SummarySet> summaries;
    // Runs started, the start of the last, and whether its sketches are shown.
    uint64_t runs = 0;
    QElapsedTimer started;
    bool sketchShown = false;
    std::set<QWidget*> staleViews;
    // Hidden views whose pictures are of another range or offset than the rest.
    std::set<QWidget*> outdatedViews;
};
