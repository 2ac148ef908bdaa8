#pragma once
// Keeps a recording's summaries complete for the views' current settings: what
// is missing (after a change of FFT size, overlap, DC removal, power
// settings or the trace's band, or a view shown again) is built by a pass over
// the whole recording in the background, held while the views' own work runs.

#include "plotdata/PowerCurveStream.h"
#include "plotdata/SpectrumPass.h"
#include "plotdata/TracePass.h"

#include <cstdint>
#include <memory>
#include <optional>

class JobRunner;
class QObject;
class SampleSource;
class SummarySet;
class TraceSummaries;

// The summaries the views shown need: each kind of view adds its own.
struct SummaryNeeds
{
    // The spectrogram's FFT exponent and overlap fraction.
    struct Spectrogram
    {
        int exponent = 8;
        double overlap = 0.8;
    };
    std::optional<Spectrogram> spectrogram;
    // The spectrum's FFT size and overlap.
    std::optional<SpectrumSettings> spectrum;
    std::optional<PowerCurveSettings> power;
    bool amplitude = false;
    // A band's trace, kept where the trace view keeps its bands.
    struct Trace
    {
        TraceSettings settings;
        std::shared_ptr<TraceSummaries> kept;
    };
    std::optional<Trace> trace;
    bool removeDc = false;
    bool operator==(const SummaryNeeds& other) const;
    bool empty() const { return !spectrogram && !spectrum && !power && !amplitude && !trace; }
};

class SummaryBuilds
{
public:
    // Builds run in the worker pool's background lane and end with the object.
    explicit SummaryBuilds(QObject* context);
    ~SummaryBuilds();

    // Builds what of `needs` the summaries lack (nothing when they are null),
    // replacing a build for other needs.
    void request(const std::shared_ptr<SummarySet>& summaries, std::shared_ptr<const SampleSource> samples,
                 double sampleRate, const SummaryNeeds& needs);
    // Holds the build while other work runs, or lets it go on.
    void setPaused(bool pause);
    // Stops the build (a new recording); stop() also waits for its threads.
    void cancel();
    void stop();
    bool busy() const;

private:
    std::unique_ptr<JobRunner> jobs;
    std::shared_ptr<SummarySet> requestedFor;
    std::optional<SummaryNeeds> requested;
};
