#pragma once
// Splitting a pass over a long array into contiguous parts run on the worker
// pool; the caller merges the parts' results in order.

#include <cstddef>
#include <functional>

// The threads a pass on the calling thread may use: the worker pool's, or
// fewer while a PartLimit made on this thread lives.
size_t availableThreads();

// Limits the parts of passes started on the calling thread to `threads` (at
// least 1) while it lives (a benchmark of one core, say).
class PartLimit
{
public:
    explicit PartLimit(size_t threads);
    ~PartLimit();
    PartLimit(const PartLimit&) = delete;
    PartLimit& operator=(const PartLimit&) = delete;

private:
    size_t previous;
};

// How many parts `items` items make when each part should hold at least
// `minItemsPerPart` of them: between 1 and availableThreads().
size_t partCount(size_t items, size_t minItemsPerPart);

// Runs part(0) ... part(parts - 1) on the process's worker pool (see
// WorkerPool::runParts: part 0 and any part no worker has started run on the
// calling thread, so nested calls never wait for a free worker) and returns
// when all are done. The first exception a part threw is rethrown then; parts
// of a cancelled job that had not started are skipped (WorkCancelled).
void runParts(size_t parts, const std::function<void(size_t)>& part);
