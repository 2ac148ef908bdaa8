// A view's computation run where it is asked for.

#include "session/ViewComputation.h"

#include "io/Recording.h"

uint64_t sampleCountOf(const Recording& recording)
{
    const std::shared_ptr<const SampleSource> source = recording.samples();
    return source ? source->size() : 0;
}

void computeAndPresent(const Recording& recording, double startTime, double stopTime,
                       bool removeDc, const std::vector<ViewComputation*>& computations)
{
    static const std::shared_ptr<const SampleSource> none = memorySamples({}, {});
    std::shared_ptr<const SampleSource> source = recording.samples();
    if (!source)
        source = none;
    const StreamRange range = streamRangeOf(static_cast<double>(recording.sampleRate()),
                                            source->size(), startTime, stopTime);
    WorkControl control;
    const DcOffset offset =
        removeDc ? rangeMean(*source, range.first, range.end, control) : DcOffset{};
    runComputations(*source, range, offset,
                    std::vector<RangeComputation*>(computations.begin(), computations.end()),
                    control);
    for (ViewComputation* computation : computations)
        computation->present();
}

void computeAndPresent(const Recording& recording, double startTime, double stopTime,
                       bool removeDc, std::unique_ptr<ViewComputation> computation)
{
    computeAndPresent(recording, startTime, stopTime, removeDc, {computation.get()});
}
