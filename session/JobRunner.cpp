// One thread per runner, kept for the runner's life, running its jobs one after
// another; results are posted back to the GUI thread.

#include "session/JobRunner.h"

#include "session/NativePath.h"

#include <QMetaObject>

#include <exception>

JobRunner::JobRunner(QObject* context, WorkLane lane) : context(context), lane(lane) {}

JobRunner::~JobRunner()
{
    stop();
}

void JobRunner::start(Work work, Done done, Failed failed)
{
    if (current)
        current->control->cancel();
    auto control = std::make_shared<WorkControl>();
    control->setPaused(paused);
    const uint64_t id = ++lastId;
    current = std::make_unique<Job>(Job{id, control, std::move(done), std::move(failed)});
    {
        // A job still waiting behind a cancelled one is replaced unstarted.
        const std::lock_guard lock(mutex);
        next = std::make_unique<Next>(Next{id, control, std::move(work)});
    }
    wake.notify_one();
    if (!driver.joinable())
        driver = std::thread([this] { drive(); });
}

void JobRunner::drive()
{
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return quitting || next; });
        if (quitting)
            return;
        std::unique_ptr<Next> job = std::move(next);
        lock.unlock();
        // One cancelled before it began is not run at all.
        if (!job->control->isCancelled()) {
            bool ok = false;
            bool cancelled = false;
            QString message;
            try {
                const WorkScope scope(lane, job->control.get());
                job->work(*job->control);
                ok = true;
            } catch (const WorkCancelled&) {
                cancelled = true;
            } catch (const std::exception& error) {
                message = pathText(error.what());
            } catch (...) {
                message = "Unexpected error";
            }
            if (!cancelled && !job->control->isCancelled())
                QMetaObject::invokeMethod(
                    context, [this, id = job->id, ok, message] { finished(id, ok, message); },
                    Qt::QueuedConnection);
        }
        job.reset(); // the work's captures go before the next job is taken
        lock.lock();
    }
}

void JobRunner::finished(uint64_t id, bool ok, const QString& message)
{
    if (!current || current->id != id)
        return;
    const std::unique_ptr<Job> job = std::move(current);
    if (ok) {
        if (job->done)
            job->done();
    } else if (job->failed) {
        job->failed(message);
    }
    if (!current && onIdle)
        onIdle();
}

void JobRunner::cancel()
{
    if (!current)
        return;
    current->control->cancel();
    current.reset();
    if (onIdle)
        onIdle();
}

void JobRunner::stop()
{
    if (current) {
        current->control->cancel();
        current.reset();
    }
    {
        const std::lock_guard lock(mutex);
        next.reset();
        quitting = true;
    }
    wake.notify_one();
    if (driver.joinable())
        driver.join();
    quitting = false;
}

void JobRunner::setPaused(bool pause)
{
    paused = pause;
    if (current)
        current->control->setPaused(pause);
}
