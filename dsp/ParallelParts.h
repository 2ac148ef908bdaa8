#pragma once
// Splitting a pass over a long array into contiguous parts run on the
// processor's cores; the caller merges the parts' results in order.

#include <cstddef>
#include <functional>

// The threads a pass on the calling thread may use: the processor's cores, or
// fewer while a ThreadShare made on this thread lives.
size_t availableThreads();

// Limits the passes started on the calling thread to `threads` threads (at
// least 1) while it lives: computations that run side by side share the cores
// instead of each splitting its work over all of them.
class ThreadShare
{
public:
    explicit ThreadShare(size_t threads);
    ~ThreadShare();
    ThreadShare(const ThreadShare&) = delete;
    ThreadShare& operator=(const ThreadShare&) = delete;

private:
    size_t previous;
};

// How many parts `items` items make when each part should hold at least
// `minItemsPerPart` of them: between 1 and availableThreads().
size_t partCount(size_t items, size_t minItemsPerPart);

// Runs part(0) ... part(parts - 1), part 0 on the calling thread and the others
// on threads of their own (in the calling thread when none can be started), and
// returns when all are done. The first exception a part threw is rethrown then.
void runParts(size_t parts, const std::function<void(size_t)>& part);
