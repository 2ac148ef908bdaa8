#pragma once
// Fixed-length segments of a range at a regular hop, gathered from the blocks
// of a streamed pass: segments that lie inside a block are handed on straight
// from it, and only the samples of a segment that straddles two blocks are kept
// and joined, so that nothing proportional to the block is copied.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class SegmentGatherer
{
public:
    // `count` segments of `length` samples, segment c starting at sample first + c hop.
    SegmentGatherer(uint64_t first, uint64_t length, uint64_t hop, uint64_t count)
        : first(first), length(length), hop(hop), count(count)
    {
    }

    // Segments handed on so far.
    uint64_t done() const { return next; }

    // The next block, samples index ... index + n - 1, following the previous one.
    // Calls run(c0, c1, i, q) for each run of segments c0 ... c1 - 1 whose samples
    // are now all present, in order, with i and q pointing at segment c0's first
    // sample (segment c at (c - c0) hop further on).
    template <typename Run>
    void consume(uint64_t index, size_t n, const double* i, const double* q, Run&& run)
    {
        if (next >= count || n == 0)
            return;
        const uint64_t end = index + n;
        if (!carryI.empty()) {
            // The carry holds carryStart ... index - 1: joined with the block's head,
            // it completes the segments that start before the block.
            const size_t head = static_cast<size_t>(std::min<uint64_t>(n, length));
            carryI.insert(carryI.end(), i, i + head);
            carryQ.insert(carryQ.end(), q, q + head);
            const uint64_t c1 = std::min(endingBy(index + head), startingBefore(index));
            if (c1 > next) {
                const size_t at = static_cast<size_t>(start(next) - carryStart);
                run(next, c1, carryI.data() + at, carryQ.data() + at);
                next = c1;
            }
            if (next < count && start(next) < index) {
                // A block shorter than a segment: all of it went into the carry.
                const size_t drop = static_cast<size_t>(start(next) - carryStart);
                carryI.erase(carryI.begin(), carryI.begin() + static_cast<ptrdiff_t>(drop));
                carryQ.erase(carryQ.begin(), carryQ.begin() + static_cast<ptrdiff_t>(drop));
                carryStart = start(next);
                return;
            }
            carryI.clear();
            carryQ.clear();
        }
        if (next >= count)
            return;
        const uint64_t c1 = endingBy(end);
        if (c1 > next) {
            const size_t at = static_cast<size_t>(start(next) - index);
            run(next, c1, i + at, q + at);
            next = c1;
        }
        if (next < count && start(next) < end) {
            const size_t at = static_cast<size_t>(start(next) - index);
            carryI.assign(i + at, i + n);
            carryQ.assign(q + at, q + n);
            carryStart = start(next);
        }
    }

private:
    uint64_t start(uint64_t c) const { return first + c * hop; }
    // Segments that end at or before sample `end` (exclusive), at most count.
    uint64_t endingBy(uint64_t end) const
    {
        if (end < first + length)
            return 0;
        return std::min(count, (end - first - length) / hop + 1);
    }
    // Segments that start before sample `index`.
    uint64_t startingBefore(uint64_t index) const
    {
        if (index <= first)
            return 0;
        return std::min(count, (index - first + hop - 1) / hop);
    }

    uint64_t first;
    uint64_t length;
    uint64_t hop;
    uint64_t count;
    uint64_t next = 0;
    std::vector<double> carryI;
    std::vector<double> carryQ;
    uint64_t carryStart = 0;
};
