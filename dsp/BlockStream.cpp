// Block-by-block reading of a range, with the next block read ahead on the worker pool.

#include "dsp/BlockStream.h"

#include "dsp/WorkerPool.h"
#include "io/SampleSource.h"

#include <algorithm>

namespace {

struct Block
{
    std::vector<double> i;
    std::vector<double> q;
};

void readBlock(const SampleSource& source, uint64_t index, size_t count, Block& block)
{
    block.i.resize(count);
    block.q.resize(count);
    source.read(index, count, block.i.data(), block.q.data());
}

// The sums of I and Q over a range, one run of meanBlockSamples at a time.
class MeanSum : public BlockConsumer
{
public:
    void consume(uint64_t, size_t count, const double* i, const double* q, WorkControl&) override
    {
        // Blocks start at multiples of meanBlockSamples from the range's first
        // sample, so every run of the mean lies inside one block.
        for (size_t start = 0; start < count; start += meanBlockSamples) {
            const size_t length = std::min(meanBlockSamples, count - start);
            double si = 0.0;
            double sq = 0.0;
            for (size_t k = start; k < start + length; ++k) {
                si += i[k];
                sq += q[k];
            }
            sumI += si;
            sumQ += sq;
        }
    }

    double sumI = 0.0;
    double sumQ = 0.0;
};

} // namespace

void streamRange(const SampleSource& source, uint64_t first, uint64_t end, const DcOffset& offset,
                 const std::vector<BlockConsumer*>& consumers, WorkControl& control)
{
    if (end <= first)
        return;
    WorkerPool& pool = WorkerPool::shared();
    Block current;
    Block next;
    control.check();
    readBlock(source, first, static_cast<size_t>(std::min<uint64_t>(streamBlockSamples, end - first)),
              current);
    for (uint64_t index = first; index < end;) {
        const size_t count = current.i.size();
        const uint64_t nextIndex = index + count;
        // Dropped unstarted, or waited for, if the consumers throw.
        WorkerPool::Pending ahead;
        if (nextIndex < end) {
            const size_t nextCount =
                static_cast<size_t>(std::min<uint64_t>(streamBlockSamples, end - nextIndex));
            ahead = pool.submit([&source, &next, nextIndex, nextCount] {
                readBlock(source, nextIndex, nextCount, next);
            });
        }
        control.check();
        if (offset.remove) {
            for (size_t k = 0; k < count; ++k) {
                current.i[k] -= offset.i;
                current.q[k] -= offset.q;
            }
        }
        // The consumers are independent: they take the block side by side as
        // parts (each also splits its own work), so that one's serial
        // stretches leave the workers to the others.
        pool.runParts(consumers.size(), [&](size_t c) {
            consumers[c]->consume(index, count, current.i.data(), current.q.data(), control);
        });
        control.check();
        control.addDone(count);
        ahead.get(); // read here if no worker has begun it
        std::swap(current, next);
        index = nextIndex;
    }
}

DcOffset rangeMean(const SampleSource& source, uint64_t first, uint64_t end, WorkControl& control)
{
    DcOffset mean;
    mean.remove = true;
    if (end <= first)
        return mean;
    MeanSum sum;
    streamRange(source, first, end, DcOffset{}, {&sum}, control);
    const double n = static_cast<double>(end - first);
    mean.i = sum.sumI / n;
    mean.q = sum.sumQ / n;
    return mean;
}
