// The job runner: one job at a time on its own thread, a job started after a
// cancel only once the cancelled one has ended, a stop that waits for it, and
// the jobs' work in the runner's lane.

#include "session/JobRunner.h"
#include "tests/support/EventWait.h"

#include "dsp/WorkerPool.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

// A cancelled job slow to stop: the runner is idle at once, the job started
// next waits until it has ended, a job replaced before it began never runs,
// and only the last one's result comes back.
TEST(JobRunner, NextJobRunsOnlyAfterTheCancelledOneEnded)
{
    QObject context;
    JobRunner runner(&context);
    std::atomic<bool> firstRunning{false};
    std::atomic<bool> firstReleased{false};
    std::atomic<bool> firstEnded{false};
    bool firstDone = false;
    runner.start(
        [&](WorkControl&) {
            firstRunning = true;
            while (!firstReleased)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            firstEnded = true;
        },
        [&] { firstDone = true; }, nullptr);
    ASSERT_TRUE(waitFor([&] { return firstRunning.load(); }));
    runner.cancel();
    EXPECT_FALSE(runner.busy());

    std::atomic<bool> replacedRan{false};
    runner.start([&](WorkControl&) { replacedRan = true; }, nullptr, nullptr);
    std::atomic<bool> lastRan{false};
    std::atomic<bool> lastSawFirstEnded{false};
    int lastDone = 0;
    runner.start(
        [&](WorkControl&) {
            lastSawFirstEnded = firstEnded.load();
            lastRan = true;
        },
        [&] { ++lastDone; }, nullptr);
    EXPECT_TRUE(runner.busy());
    // Time for a runner that did not wait to show it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(lastRan.load());
    firstReleased = true;
    ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
    EXPECT_TRUE(lastRan.load());
    EXPECT_TRUE(lastSawFirstEnded.load());
    EXPECT_FALSE(replacedRan.load());
    EXPECT_FALSE(firstDone);
    EXPECT_EQ(lastDone, 1);
}

// stop() returns once the job has ended, whether it was running, held, or
// waiting behind a cancelled one; the runner starts jobs again afterwards.
TEST(JobRunner, StopWaitsForTheJob)
{
    struct Row
    {
        const char* name;
        bool paused;
        bool cancelFirst;
    };
    const Row rows[] = {{"running", false, false}, {"held", true, false}, {"after a cancel", false, true}};
    for (const Row& row : rows) {
        QObject context;
        JobRunner runner(&context);
        runner.setPaused(row.paused);
        std::atomic<int> started{0};
        std::atomic<int> ended{0};
        auto job = [&](WorkControl& control) {
            ++started;
            struct Ending
            {
                std::atomic<int>& ended;
                ~Ending() { ++ended; }
            } ending{ended};
            for (;;) {
                control.check();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        if (row.cancelFirst) {
            runner.start(job, nullptr, nullptr);
            ASSERT_TRUE(waitFor([&] { return started.load() == 1; })) << row.name;
            runner.cancel();
        }
        runner.start(job, nullptr, nullptr);
        if (!row.paused && !row.cancelFirst) {
            ASSERT_TRUE(waitFor([&] { return started.load() == 1; })) << row.name;
        }
        runner.stop();
        EXPECT_FALSE(runner.busy()) << row.name;
        EXPECT_EQ(ended.load(), started.load()) << row.name;

        runner.setPaused(false);
        bool done = false;
        runner.start([](WorkControl&) {}, [&] { done = true; }, nullptr);
        EXPECT_TRUE(waitFor([&] { return done; })) << row.name;
    }
}

// A job's work and the tasks it hands to the pool run in the runner's lane,
// for the job; a failure comes back with its message.
TEST(JobRunner, JobsWorkInTheRunnersLane)
{
    for (WorkLane lane : {WorkLane::foreground, WorkLane::sketch, WorkLane::background}) {
        QObject context;
        JobRunner runner(&context, lane);
        WorkLane seen = WorkLane::foreground;
        WorkLane taskSeen = WorkLane::foreground;
        const WorkControl* seenControl = nullptr;
        const WorkControl* jobControl = nullptr;
        QString failure;
        runner.start(
            [&](WorkControl& control) {
                jobControl = &control;
                seen = currentLane();
                seenControl = currentControl();
                WorkerPool::shared().submit([&] { taskSeen = currentLane(); }).get();
                throw std::runtime_error("Disk full");
            },
            nullptr, [&](const QString& message) { failure = message; });
        ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
        EXPECT_EQ(seen, lane);
        EXPECT_EQ(taskSeen, lane);
        EXPECT_EQ(seenControl, jobControl);
        EXPECT_EQ(failure, "Disk full");
    }
}
