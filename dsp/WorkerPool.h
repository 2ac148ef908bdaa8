#pragma once
// The process's one bounded set of worker threads, shared by all computations:
// tasks wait in three lanes, and a free worker takes the oldest task of the
// highest lane that has one. Whoever waits for a task that no worker has
// started runs it itself, so that nothing waits for a free worker.

#include "dsp/WorkScope.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool
{
    struct Task;

public:
    // A submitted task, owned by the code that submitted it and waited for (or
    // dropped unstarted) before that code returns.
    class Pending
    {
    public:
        Pending() = default;
        Pending(Pending&& other) noexcept = default;
        Pending& operator=(Pending&& other) noexcept;
        // Drops the task if no one has started it, else waits until it ends.
        ~Pending();

        bool valid() const { return static_cast<bool>(task); }
        // Runs the task on the calling thread unless someone started it, waits
        // until it has ended, and rethrows what it threw. A task of a job that
        // was cancelled before it started is not run: WorkCancelled.
        void get();

    private:
        friend class WorkerPool;
        Pending(WorkerPool* pool, std::shared_ptr<Task> task) : pool(pool), task(std::move(task)) {}
        void release();

        WorkerPool* pool = nullptr;
        std::shared_ptr<Task> task;
    };

    // `workers` threads (at least 1), started at once.
    explicit WorkerPool(size_t workers);
    // Lets every task started end, drops those not started, and joins the workers.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The process's pool: one worker per core. Made on first use and never
    // destroyed, so that work running while the process exits finds it.
    static WorkerPool& shared();

    size_t size() const { return workers.size(); }
    // Queues `work` in the calling thread's lane, for its job (see WorkScope).
    Pending submit(std::function<void()> work);

    // Runs part(0) ... part(parts - 1) and returns when all have ended: part 0
    // on the calling thread, the others as tasks, those no worker has started
    // once part 0 is done run on the calling thread too, so that it never waits
    // for a free worker. The exception of the lowest part that threw is
    // rethrown then (WorkCancelled for parts of a cancelled job not started).
    void runParts(size_t parts, const std::function<void(size_t)>& part);

    // Tasks being run by the workers, and tasks waiting for one.
    size_t runningTasks() const;
    size_t queuedTasks() const;

private:
    static constexpr size_t laneCount = 3;

    void work();
    // Takes a task no one started for the calling thread: false when it had started.
    bool claim(Task& task);
    static void execute(Task& task);

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<Task>> lanes[laneCount];
    size_t running = 0;
    bool stopping = false;
    std::vector<std::thread> workers;
};
