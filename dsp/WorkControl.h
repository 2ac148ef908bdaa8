#pragma once
// Cancellation and progress of a long computation, shared between the thread
// that runs it and the one that watches it.

#include "dsp/WorkScope.h"

#include <atomic>
#include <cstdint>
#include <exception>

// Thrown out of a computation once its WorkControl has been cancelled.
class WorkCancelled : public std::exception
{
public:
    const char* what() const noexcept override { return "Cancelled"; }
};

class WorkControl
{
public:
    // Also ends a pause.
    void cancel()
    {
        cancelled.store(true, std::memory_order_relaxed);
        setPaused(false);
    }
    bool isCancelled() const { return cancelled.load(std::memory_order_relaxed); }
    // Throws WorkCancelled once cancel() has been called; computations call it
    // between steps short enough to stop well within a fifth of a second.
    // While the work is paused, it waits there, except on the worker pool's
    // threads: a part running there ends its share, and the job's own thread waits.
    void check() const
    {
        if (paused.load(std::memory_order_relaxed) && !onPoolWorker())
            for (bool p = true; p; p = paused.load())
                paused.wait(true);
        if (isCancelled())
            throw WorkCancelled();
    }
    // Holds the work at its next check() until resumed (work of lower rank
    // leaves the cores to other work meanwhile).
    void setPaused(bool pause)
    {
        paused.store(pause);
        paused.notify_all();
    }

    // Progress in units of the computation's own choosing (samples read, say):
    // units planned in all and units done so far.
    void addPlanned(uint64_t units) { planned.fetch_add(units, std::memory_order_relaxed); }
    void addDone(uint64_t units) { done.fetch_add(units, std::memory_order_relaxed); }
    // Done over planned, 0 ... 1 (0 while nothing is planned).
    double fraction() const
    {
        const uint64_t total = planned.load(std::memory_order_relaxed);
        const uint64_t finished = done.load(std::memory_order_relaxed);
        if (total == 0)
            return 0.0;
        return finished >= total ? 1.0 : static_cast<double>(finished) / static_cast<double>(total);
    }

private:
    std::atomic<bool> cancelled{false};
    std::atomic<bool> paused{false};
    std::atomic<uint64_t> planned{0};
    std::atomic<uint64_t> done{0};
};
