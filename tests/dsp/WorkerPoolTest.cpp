// The worker pool: parts run once each with the lowest part's exception passed
// on, nested parts that never wait for a free worker, lanes by priority, and a
// cancelled job's tasks dropped unstarted and a held job's parts never held.

#include "dsp/BlockStream.h"
#include "dsp/SpectrogramStream.h"
#include "dsp/WorkerPool.h"
#include "io/SampleSource.h"
#include "tests/dsp/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Holds every worker of a pool until released, so that what is submitted
// meanwhile stays queued.
class BusyWorkers
{
public:
    explicit BusyWorkers(WorkerPool& pool)
    {
        for (size_t k = 0; k < pool.size(); ++k)
            held.push_back(pool.submit([this] {
                ++started;
                for (bool go = false; !(go = released.load());)
                    released.wait(false);
            }));
        while (started.load() < pool.size())
            std::this_thread::yield();
    }
    ~BusyWorkers() { release(); }
    void release()
    {
        released = true;
        released.notify_all();
    }

private:
    std::atomic<size_t> started{0};
    std::atomic<bool> released{false};
    std::vector<WorkerPool::Pending> held;
};

// Waits until no task is running or queued: false after ten seconds (a task stuck).
bool waitUntilIdle(const WorkerPool& pool)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pool.runningTasks() != 0 || pool.queuedTasks() != 0) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

// Every part runs exactly once, with or without workers free; when parts throw,
// every part still runs and the lowest one's exception comes out.
TEST(WorkerPool, EveryPartOnceAndTheLowestExceptionPassedOn)
{
    struct Row
    {
        size_t workers;
        size_t parts;
        bool workersBusy;
        std::vector<size_t> throwing;
    };
    const Row rows[] = {
        {1, 0, false, {}}, {1, 1, false, {}},     {2, 2, false, {}},     {2, 33, false, {}},
        {4, 8, false, {}}, {2, 8, true, {}},      {2, 5, false, {3}},    {2, 5, false, {4, 2}},
        {1, 3, true, {0, 2}}, {3, 1, false, {0}}, {4, 16, false, {15, 9, 11}},
    };
    for (const Row& row : rows) {
        WorkerPool pool(row.workers);
        std::optional<BusyWorkers> busy;
        if (row.workersBusy)
            busy.emplace(pool);
        std::vector<std::atomic<int>> runs(row.parts);
        auto run = [&] {
            pool.runParts(row.parts, [&](size_t t) {
                ++runs[t];
                if (std::find(row.throwing.begin(), row.throwing.end(), t) != row.throwing.end())
                    throw std::runtime_error("part " + std::to_string(t));
            });
        };
        const std::string name = std::to_string(row.parts) + " parts on " + std::to_string(row.workers);
        if (row.throwing.empty()) {
            EXPECT_NO_THROW(run()) << name;
        } else {
            const size_t lowest = *std::min_element(row.throwing.begin(), row.throwing.end());
            try {
                run();
                ADD_FAILURE() << name << ": nothing thrown";
            } catch (const std::runtime_error& error) {
                EXPECT_EQ(error.what(), "part " + std::to_string(lowest)) << name;
            }
        }
        for (size_t t = 0; t < row.parts; ++t)
            EXPECT_EQ(runs[t].load(), 1) << name << ", part " << t;
    }
}

// Parts split again inside parts, from tasks that already hold every worker:
// the callers run what no worker takes, so all of it ends.
TEST(WorkerPool, NestedPartsNeverWaitForAFreeWorker)
{
    struct Row
    {
        size_t workers;
        size_t fanOut;
        int levels;
        size_t outerTasks;
    };
    const Row rows[] = {{1, 2, 3, 1}, {2, 3, 3, 2}, {2, 4, 3, 4}, {3, 2, 5, 3}};
    for (const Row& row : rows) {
        WorkerPool pool(row.workers);
        std::atomic<size_t> leaves{0};
        std::function<void(int)> split = [&](int level) {
            if (level == row.levels) {
                ++leaves;
                return;
            }
            pool.runParts(row.fanOut, [&](size_t) { split(level + 1); });
        };
        std::vector<WorkerPool::Pending> outer;
        for (size_t k = 0; k < row.outerTasks; ++k)
            outer.push_back(pool.submit([&] { split(0); }));
        for (WorkerPool::Pending& task : outer)
            task.get();
        size_t expected = row.outerTasks;
        for (int level = 0; level < row.levels; ++level)
            expected *= row.fanOut;
        EXPECT_EQ(leaves.load(), expected) << row.workers << " workers, fan-out " << row.fanOut;
    }
}

// With the worker busy, queued tasks are taken by lane (foreground, sketch,
// background), in submission order within a lane.
TEST(WorkerPool, HigherLanesFirst)
{
    WorkerPool pool(1);
    std::mutex mutex;
    std::vector<std::string> order;
    std::vector<WorkerPool::Pending> tasks;
    {
        BusyWorkers busy(pool);
        const std::pair<WorkLane, const char*> submitted[] = {
            {WorkLane::background, "background 1"}, {WorkLane::sketch, "sketch 1"},
            {WorkLane::background, "background 2"}, {WorkLane::foreground, "foreground 1"},
            {WorkLane::sketch, "sketch 2"},         {WorkLane::foreground, "foreground 2"},
        };
        for (const auto& [lane, name] : submitted) {
            const WorkScope scope(lane, nullptr);
            tasks.push_back(pool.submit([&, name = std::string(name)] {
                const std::lock_guard lock(mutex);
                order.push_back(name);
            }));
        }
    }
    ASSERT_TRUE(waitUntilIdle(pool));
    const std::vector<std::string> expected = {"foreground 1", "foreground 2", "sketch 1",
                                               "sketch 2",     "background 1", "background 2"};
    EXPECT_EQ(order, expected);
}

// A task started on a worker works in the lane and for the job it was
// submitted from, and passes both on to what it submits.
TEST(WorkerPool, TasksInheritTheLaneAndJob)
{
    WorkerPool pool(2);
    WorkControl control;
    for (WorkLane lane : {WorkLane::foreground, WorkLane::sketch, WorkLane::background}) {
        const WorkScope scope(lane, &control);
        WorkLane seen = WorkLane::foreground;
        WorkLane nestedSeen = WorkLane::foreground;
        const WorkControl* seenControl = nullptr;
        WorkerPool::Pending task = pool.submit([&] {
            seen = currentLane();
            seenControl = currentControl();
            pool.submit([&] { nestedSeen = currentLane(); }).get();
        });
        ASSERT_TRUE(waitUntilIdle(pool)); // run by a worker, not taken back by get()
        task.get();
        EXPECT_EQ(seen, lane);
        EXPECT_EQ(nestedSeen, lane);
        EXPECT_EQ(seenControl, &control);
    }
}

// Tasks of a job cancelled before they started are never run: those a worker
// takes, those their owner takes back, the parts of a split, and a dropped task.
TEST(WorkerPool, CancelledJobsQueuedTasksAreSkipped)
{
    WorkerPool pool(1);
    WorkControl control;
    const WorkScope scope(WorkLane::foreground, &control);
    std::atomic<int> ran{0};
    {
        BusyWorkers busy(pool);
        WorkerPool::Pending byWorker = pool.submit([&] { ++ran; });
        WorkerPool::Pending byOwner = pool.submit([&] { ++ran; });
        { WorkerPool::Pending dropped = pool.submit([&] { ++ran; }); }
        control.cancel();
        EXPECT_THROW(byOwner.get(), WorkCancelled);
        busy.release();
        ASSERT_TRUE(waitUntilIdle(pool));
        EXPECT_THROW(byWorker.get(), WorkCancelled);
    }
    EXPECT_EQ(ran.load(), 0);

    // Part 0 cancels the job while the worker is busy: the other parts are
    // skipped and the split ends with WorkCancelled.
    WorkControl split;
    const WorkScope splitScope(WorkLane::foreground, &split);
    std::vector<std::atomic<int>> runs(4);
    BusyWorkers busy(pool);
    EXPECT_THROW(pool.runParts(4,
                               [&](size_t t) {
                                   ++runs[t];
                                   if (t == 0)
                                       split.cancel();
                               }),
                 WorkCancelled);
    EXPECT_EQ(runs[0].load(), 1);
    for (size_t t = 1; t < 4; ++t)
        EXPECT_EQ(runs[t].load(), 0) << "part " << t;
}

// A held job's part on a worker goes through its checks (its job's own thread
// waits instead), so a pause never holds a worker; a cancel still stops it.
TEST(WorkerPool, HeldJobsPartsDoNotHoldWorkers)
{
    WorkerPool pool(1);
    WorkControl control;
    control.setPaused(true);
    const WorkScope scope(WorkLane::background, &control);
    int checks = 0;
    WorkerPool::Pending part = pool.submit([&] {
        for (; checks < 3; ++checks)
            control.check();
    });
    const bool ended = waitUntilIdle(pool); // run by the worker, not taken back by get()
    control.cancel();                       // lets a part stuck in a pause go
    EXPECT_TRUE(ended);
    part.get();
    EXPECT_EQ(checks, 3);
    EXPECT_THROW(pool.submit([&] { control.check(); }).get(), WorkCancelled);
}

// A pass cancelled mid-stream over a long recording in memory: it ends with
// WorkCancelled without a block after the one under way, and when it returns
// nothing of it is left running or queued in the pool.
TEST(WorkerPool, CancelledPassLeavesThePoolIdle)
{
    const size_t n = 6 * streamBlockSamples;
    const auto source = memorySamples(randomValues(n, 5), randomValues(n, 6));
    WorkControl control;
    const WorkScope scope(WorkLane::foreground, &control);
    SpectrogramStream spectrogram(0, n, 10, 0.5, 1e6, 2000);
    // Cancels the pass when the third block arrives.
    class Canceller : public BlockConsumer
    {
    public:
        void consume(uint64_t index, size_t, const double*, const double*, WorkControl& c) override
        {
            ++blocks;
            if (index == 2 * streamBlockSamples)
                c.cancel();
        }
        int blocks = 0;
    } canceller;
    EXPECT_THROW(streamRange(*source, 0, n, DcOffset{}, {&spectrogram, &canceller}, control), WorkCancelled);
    EXPECT_EQ(canceller.blocks, 3);
    const WorkerPool& pool = WorkerPool::shared();
    // A worker counts its task off just after the task has ended (and its
    // owner gone on): the count settles within moments, never stays up.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pool.runningTasks() != 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(pool.runningTasks(), 0u);
    EXPECT_EQ(pool.queuedTasks(), 0u);
}
