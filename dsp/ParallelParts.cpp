// Contiguous parts of a pass run on the worker pool.

#include "dsp/ParallelParts.h"

#include "dsp/WorkerPool.h"

#include <algorithm>

namespace {

// 0: no limit of this thread's own.
thread_local size_t threadLimit = 0;

} // namespace

size_t availableThreads()
{
    const size_t workers = std::max<size_t>(1, WorkerPool::shared().size());
    return threadLimit == 0 ? workers : std::min(workers, threadLimit);
}

PartLimit::PartLimit(size_t threads) : previous(threadLimit)
{
    threadLimit = std::max<size_t>(1, threads);
}

PartLimit::~PartLimit()
{
    threadLimit = previous;
}

size_t partCount(size_t items, size_t minItemsPerPart)
{
    return std::clamp<size_t>(items / std::max<size_t>(1, minItemsPerPart), 1, availableThreads());
}

void runParts(size_t parts, const std::function<void(size_t)>& part)
{
    WorkerPool::shared().runParts(parts, part);
}
