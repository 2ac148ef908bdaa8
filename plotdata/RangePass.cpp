// Passes over a range for a set of computations.

#include "plotdata/RangePass.h"

#include "io/SampleSource.h"
#include "plotdata/PlotMath.h"

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
                     const std::vector<RangeComputation*>& computations, WorkControl& control,
                     bool planned)
{
    std::vector<RangeComputation*> pending;
    for (RangeComputation* computation : computations)
        if (!computation->computeFromSummaries(source, offset, control))
            pending.push_back(computation);
    if (pending.empty() && planned)
        control.addDone(range.size());
    for (bool firstPass = true; !pending.empty(); firstPass = false) {
        if (!firstPass || !planned)
            control.addPlanned(range.size());
        std::vector<BlockConsumer*> consumers;
        for (RangeComputation* computation : pending)
            consumers.push_back(&computation->consumer());
        streamRange(source, range.first, range.end, offset, consumers, control);
        std::vector<RangeComputation*> again;
        for (RangeComputation* computation : pending)
            if (!computation->finishPass())
                again.push_back(computation);
        pending.swap(again);
    }
}
