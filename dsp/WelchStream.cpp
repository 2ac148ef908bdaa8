// Welch estimate fed block by block.

#include "dsp/WelchStream.h"

#include <algorithm>

WelchStream::WelchStream(uint64_t first, uint64_t size, uint32_t N, uint32_t L, uint32_t V)
    : first(first), accumulator(size, N, L, V), bufferStart(first)
{
}

void WelchStream::consume(uint64_t index, size_t count, const double* i, const double* q,
                          WorkControl& control)
{
    const uint64_t total = accumulator.segmentCount();
    const uint64_t hop = accumulator.hop();
    const uint64_t length = accumulator.segmentLength();
    uint64_t next = accumulator.segmentsAdded();
    if (next >= total)
        return;
    // Samples before the next segment's start are not needed (segments may lie
    // further apart than their length).
    const uint64_t needed = first + next * hop;
    uint64_t from = std::max(index, needed);
    if (bufferI.empty())
        bufferStart = from;
    else
        from = std::max(from, bufferStart + bufferI.size());
    if (from < index + count) {
        const size_t skip = static_cast<size_t>(from - index);
        bufferI.insert(bufferI.end(), i + skip, i + count);
        bufferQ.insert(bufferQ.end(), q + skip, q + count);
    }
    const uint64_t available = bufferStart + bufferI.size();
    uint64_t end = next;
    if (available >= first + length)
        end = std::min(total, (available - first - length) / hop + 1);
    if (end > next) {
        const double* const iq[2] = {bufferI.data() + (first + next * hop - bufferStart),
                                     bufferQ.data() + (first + next * hop - bufferStart)};
        accumulator.add(iq, loadSplitSegment, end - next, &control);
        next = end;
    }
    const uint64_t keepFrom = std::min(first + next * hop, bufferStart + bufferI.size());
    const size_t drop = static_cast<size_t>(keepFrom - bufferStart);
    bufferI.erase(bufferI.begin(), bufferI.begin() + drop);
    bufferQ.erase(bufferQ.begin(), bufferQ.begin() + drop);
    bufferStart = keepFrom;
}
