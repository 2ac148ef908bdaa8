// Block-by-block reading of a range, with the next block read ahead.

#include "dsp/BlockStream.h"

#include "dsp/ParallelParts.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <exception>
#include <future>

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
    Block current;
    Block next;
    control.check();
    readBlock(source, first, static_cast<size_t>(std::min<uint64_t>(streamBlockSamples, end - first)),
              current);
    for (uint64_t index = first; index < end;) {
        const size_t count = current.i.size();
        const uint64_t nextIndex = index + count;
        std::future<void> ahead;
        if (nextIndex < end) {
            const size_t nextCount =
                static_cast<size_t>(std::min<uint64_t>(streamBlockSamples, end - nextIndex));
            ahead = std::async(std::launch::async, [&source, &next, nextIndex, nextCount] {
                readBlock(source, nextIndex, nextCount, next);
            });
        }
        try {
            control.check();
            if (offset.remove) {
                for (size_t k = 0; k < count; ++k) {
                    current.i[k] -= offset.i;
                    current.q[k] -= offset.q;
                }
            }
            // The consumers are independent: they take the block side by side
            // (each also splits its own work), so that one's serial stretches
            // leave the cores to the others.
            const size_t share = std::max<size_t>(1, availableThreads() / std::max<size_t>(1, consumers.size()));
            std::vector<std::future<void>> others;
            for (size_t c = 1; c < consumers.size(); ++c)
                others.push_back(std::async(std::launch::async, [&, c, share] {
                    const ThreadShare limit(share);
                    consumers[c]->consume(index, count, current.i.data(), current.q.data(), control);
                }));
            std::exception_ptr failure;
            try {
                const ThreadShare limit(share);
                if (!consumers.empty())
                    consumers[0]->consume(index, count, current.i.data(), current.q.data(), control);
            } catch (...) {
                failure = std::current_exception();
            }
            for (std::future<void>& other : others) {
                try {
                    other.get();
                } catch (...) {
                    if (!failure)
                        failure = std::current_exception();
                }
            }
            if (failure)
                std::rethrow_exception(failure);
            control.check();
        } catch (...) {
            if (ahead.valid())
                ahead.wait();
            throw;
        }
        control.addDone(count);
        if (ahead.valid())
            ahead.get();
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
