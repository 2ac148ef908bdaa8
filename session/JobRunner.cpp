// One worker thread per job; results are posted back to the GUI thread.

#include "session/JobRunner.h"

#include <QMetaObject>

#include <exception>

JobRunner::JobRunner(QObject* context) : context(context) {}

JobRunner::~JobRunner()
{
    stop();
}

void JobRunner::start(Work work, Done done, Failed failed)
{
    if (current)
        current->control->cancel();
    joinEnded();
    auto control = std::make_shared<WorkControl>();
    control->setPaused(paused);
    const uint64_t id = ++lastId;
    current = std::make_unique<Job>(Job{id, control, std::move(done), std::move(failed)});
    auto ended = std::make_shared<std::atomic<bool>>(false);
    QObject* target = context;
    std::thread thread([this, target, id, control, ended, work = std::move(work)] {
        bool ok = false;
        bool cancelled = false;
        QString message;
        try {
            work(*control);
            ok = true;
        } catch (const WorkCancelled&) {
            cancelled = true;
        } catch (const std::exception& error) {
            message = QString::fromStdString(error.what());
        } catch (...) {
            message = "Unexpected error";
        }
        if (!cancelled && !control->isCancelled())
            QMetaObject::invokeMethod(
                target, [this, id, ok, message] { finished(id, ok, message); }, Qt::QueuedConnection);
        ended->store(true);
    });
    threads.push_back(Thread{std::move(thread), ended});
}

void JobRunner::finished(uint64_t id, bool ok, const QString& message)
{
    joinEnded();
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
    joinEnded();
    if (onIdle)
        onIdle();
}

void JobRunner::stop()
{
    if (current) {
        current->control->cancel();
        current.reset();
    }
    for (Thread& t : threads)
        if (t.thread.joinable())
            t.thread.join();
    threads.clear();
}

void JobRunner::setPaused(bool pause)
{
    paused = pause;
    if (current)
        current->control->setPaused(pause);
}

// Threads that have ended are joined (a join of an ending thread is immediate);
// those still stopping after a cancel are left to end on their own.
void JobRunner::joinEnded()
{
    for (auto it = threads.begin(); it != threads.end();) {
        if (it->ended->load()) {
            it->thread.join();
            it = threads.erase(it);
        } else {
            ++it;
        }
    }
}
