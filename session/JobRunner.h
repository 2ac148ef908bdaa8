#pragma once
// Runs the computing part of a load or an Apply off the GUI thread, one at a
// time: starting one cancels the one before, and only the last one's result is
// handed back, on the GUI thread.

#include "dsp/WorkControl.h"
#include "dsp/WorkScope.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class JobRunner
{
public:
    // Results are delivered through `context`'s event queue (a GUI-thread object
    // that outlives the runner's use). The jobs' work, and the parts they hand
    // to the worker pool, run in `lane`.
    explicit JobRunner(QObject* context, WorkLane lane = WorkLane::foreground);
    // Cancels all work and waits for it to end.
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    using Work = std::function<void(WorkControl&)>;
    using Done = std::function<void()>;
    using Failed = std::function<void(const QString& message)>;
    // Cancels the running job, if any, and runs `work` on the runner's thread
    // as soon as that job has stopped (never beside it). When it returns,
    // `done` runs on the GUI thread; when it throws a standard exception other
    // than WorkCancelled, `failed` runs there with its message. Neither runs for
    // a job that was cancelled or replaced.
    void start(Work work, Done done, Failed failed);
    // Cancels the running job: its result is dropped and the runner is idle at once.
    void cancel();
    // Cancels and waits until the runner's thread has ended.
    void stop();
    // Holds the running job (and the next ones) at their next check, or lets them go on.
    void setPaused(bool pause);

    bool busy() const { return static_cast<bool>(current); }
    // Progress of the running job, 0 ... 1.
    double progress() const { return current ? current->control->fraction() : 0.0; }
    // Called on the GUI thread whenever the runner becomes idle (after done,
    // failed or a cancel).
    void setIdleHandler(std::function<void()> handler) { onIdle = std::move(handler); }

private:
    struct Job
    {
        uint64_t id;
        std::shared_ptr<WorkControl> control;
        Done done;
        Failed failed;
    };
    // What the runner's thread runs next.
    struct Next
    {
        uint64_t id;
        std::shared_ptr<WorkControl> control;
        Work work;
    };
    void drive();
    void finished(uint64_t id, bool ok, const QString& message);

    QObject* context;
    WorkLane lane;
    std::unique_ptr<Job> current;
    uint64_t lastId = 0;
    bool paused = false;
    std::function<void()> onIdle;

    // Shared with the runner's thread, which runs one job after another.
    std::mutex mutex;
    std::condition_variable wake;
    std::unique_ptr<Next> next;
    bool quitting = false;
    std::thread driver;
};
