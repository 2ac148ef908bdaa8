// Passes over a range for a set of computations.

#include "plotdata/RangePass.h"

#include "io/SampleSource.h"
#include "plotdata/PlotMath.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Hands on the part of each block inside [first, end).
class ClippedConsumer : public BlockConsumer
{
public:
    ClippedConsumer(BlockConsumer& inner, const StreamRange& range) : inner(inner), range(range) {}
    void consume(uint64_t index, size_t count, const double* i, const double* q, WorkControl& control) override
    {
        const uint64_t from = std::max(index, range.first);
        const uint64_t to = std::min(index + count, range.end);
        if (to > from)
            inner.consume(from, static_cast<size_t>(to - from), i + (from - index), q + (from - index), control);
    }

private:
    BlockConsumer& inner;
    StreamRange range;
};

} // namespace

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
    runPasses(source, range, offset, computeFromSummaries(source, offset, computations, control), control, planned);
}

std::vector<RangeComputation*> computeFromSummaries(const SampleSource& source, const DcOffset& offset,
                                                   const std::vector<RangeComputation*>& computations,
                                                   WorkControl& control)
{
    std::vector<RangeComputation*> pending;
    for (RangeComputation* computation : computations)
        if (!computation->computeFromSummaries(source, offset, control))
            pending.push_back(computation);
    return pending;
}

void runPasses(const SampleSource& source, const StreamRange& range, const DcOffset& offset,
               std::vector<RangeComputation*> pending, WorkControl& control, bool planned)
{
    if (pending.empty() && planned)
        control.addDone(range.size());
    for (bool firstPass = true; !pending.empty(); firstPass = false) {
        StreamRange all = range;
        for (RangeComputation* computation : pending) {
            const StreamRange reads = computation->readRange(range);
            all.first = std::min(all.first, reads.first);
            all.end = std::max(all.end, reads.end);
        }
        control.addPlanned(!firstPass || !planned ? all.size() : all.size() - range.size());
        std::vector<std::unique_ptr<ClippedConsumer>> clipped;
        std::vector<BlockConsumer*> consumers;
        for (RangeComputation* computation : pending) {
            const StreamRange reads = computation->readRange(range);
            if (reads.first == all.first && reads.end == all.end) {
                consumers.push_back(&computation->consumer());
            } else {
                clipped.push_back(std::make_unique<ClippedConsumer>(computation->consumer(), reads));
                consumers.push_back(clipped.back().get());
            }
        }
        streamRange(source, all.first, all.end, offset, consumers, control);
        std::vector<RangeComputation*> again;
        for (RangeComputation* computation : pending)
            if (!computation->finishPass())
                again.push_back(computation);
        pending.swap(again);
    }
}
