// Contiguous parts of a pass run on separate threads.

#include "dsp/ParallelParts.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// 0: no limit of this thread's own.
thread_local size_t threadLimit = 0;

} // namespace

size_t availableThreads()
{
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return threadLimit == 0 ? cores : std::min(cores, threadLimit);
}

ThreadShare::ThreadShare(size_t threads) : previous(threadLimit)
{
    threadLimit = std::max<size_t>(1, threads);
}

ThreadShare::~ThreadShare()
{
    threadLimit = previous;
}

size_t partCount(size_t items, size_t minItemsPerPart)
{
    return std::clamp<size_t>(items / std::max<size_t>(1, minItemsPerPart), 1, availableThreads());
}

void runParts(size_t parts, const std::function<void(size_t)>& part)
{
    std::vector<std::exception_ptr> errors(parts);
    auto run = [&](size_t t) {
        try {
            part(t);
        } catch (...) {
            errors[t] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < parts; ++t) {
        try {
            helpers.emplace_back(run, t);
        } catch (const std::system_error&) {
            run(t); // no thread to be had: run the part here
        }
    }
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}
