// Passes over a range for a set of view computations.

#include "views/ViewComputation.h"

#include "io/Recording.h"
#include "io/SampleSource.h"
#include "views/PlotMath.h"

#include <algorithm>
#include <cmath>

StreamRange streamRangeOf(double fs, uint64_t count, double startTime, double stopTime)
{
    // A recording holds at most 2^32 - 1 samples.
    const SampleRange range = sampleRange(
        fs, static_cast<uint32_t>(std::min<uint64_t>(count, UINT32_MAX)), startTime, stopTime);
    return {range.first, range.end};
}

void runComputations(const SampleSource& source, const StreamRange& range, const DcOffset& offset,
                     const std::vector<ViewComputation*>& computations, WorkControl& control,
                     bool planned)
{
    std::vector<ViewComputation*> pending = computations;
    for (bool firstPass = true; !pending.empty(); firstPass = false) {
        if (!firstPass || !planned)
            control.addPlanned(range.size());
        std::vector<BlockConsumer*> consumers;
        for (ViewComputation* computation : pending)
            consumers.push_back(&computation->consumer());
        streamRange(source, range.first, range.end, offset, consumers, control);
        std::vector<ViewComputation*> again;
        for (ViewComputation* computation : pending)
            if (!computation->finishPass())
                again.push_back(computation);
        pending.swap(again);
    }
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
    runComputations(*source, range, offset, computations, control);
    for (ViewComputation* computation : computations)
        computation->present();
}
