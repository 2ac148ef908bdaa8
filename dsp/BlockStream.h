#pragma once
// One pass over a range of a recording: its samples are read block by block
// and handed, in order, to every computation that needs them, so that memory
// stays bounded whatever the length of the range.

#include "dsp/WorkControl.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class SampleSource;

// A computation fed with consecutive blocks of a range.
class BlockConsumer
{
public:
    virtual ~BlockConsumer() = default;
    // The next `count` samples of the range, sample `index` of the recording
    // first; blocks arrive in order and without gaps. Long work between calls
    // to control.check() is avoided, so that a cancel stops it promptly.
    virtual void consume(uint64_t index, size_t count, const double* i, const double* q,
                         WorkControl& control) = 0;
};

// A constant subtracted from every I and Q value (the DC offset of a range).
struct DcOffset
{
    double i = 0.0;
    double q = 0.0;
    bool remove = false;
};

// Samples read and handed on at once; a multiple of meanBlockSamples.
constexpr size_t streamBlockSamples = size_t(1) << 20;
// The mean sums blocks of this many samples on their own, then the block sums
// in order: the same value however the work is shared out.
constexpr size_t meanBlockSamples = size_t(1) << 16;

// Reads samples [first, end) of source, subtracts offset when it is to be
// removed, and hands every block to each consumer in turn. The next block is
// read while the consumers work on the current one. Counts end - first units of
// progress done (the caller plans them), checks for cancellation between
// blocks, and lets the source's read errors and WorkCancelled through.
void streamRange(const SampleSource& source, uint64_t first, uint64_t end, const DcOffset& offset,
                 const std::vector<BlockConsumer*>& consumers, WorkControl& control);

// Means of I and Q over [first, end): each run of meanBlockSamples from `first`
// summed from its first sample on, then those sums added in order, divided by
// the count. A zero offset (remove still set) for an empty range.
DcOffset rangeMean(const SampleSource& source, uint64_t first, uint64_t end, WorkControl& control);
