// A fixed set of worker threads taking tasks from three lanes by priority.

#include "dsp/WorkerPool.h"

#include "dsp/WorkControl.h"

#include <algorithm>
#include <atomic>
#include <system_error>

namespace {

thread_local bool onWorker = false;

} // namespace

bool onPoolWorker()
{
    return onWorker;
}

struct WorkerPool::Task
{
    std::function<void()> work;
    WorkLane lane = WorkLane::foreground;
    const WorkControl* control = nullptr;
    // Taken by a worker or by its owner (under the pool's mutex); from then on
    // it is in no lane.
    bool started = false;
    std::atomic<bool> ended{false};
    std::exception_ptr error;
};

WorkerPool::Pending& WorkerPool::Pending::operator=(Pending&& other) noexcept
{
    if (this != &other) {
        release();
        pool = other.pool;
        task = std::move(other.task);
    }
    return *this;
}

WorkerPool::Pending::~Pending()
{
    release();
}

void WorkerPool::Pending::release()
{
    if (!task)
        return;
    if (pool->claim(*task))
        task->work = nullptr; // never run
    else
        for (bool ended = false; !(ended = task->ended.load(std::memory_order_acquire));)
            task->ended.wait(false, std::memory_order_acquire);
    task.reset();
}

void WorkerPool::Pending::get()
{
    if (!task)
        return;
    if (pool->claim(*task))
        execute(*task);
    while (!task->ended.load(std::memory_order_acquire))
        task->ended.wait(false, std::memory_order_acquire);
    const std::exception_ptr error = task->error;
    task.reset();
    if (error)
        std::rethrow_exception(error);
}

WorkerPool::WorkerPool(size_t count)
{
    workers.reserve(std::max<size_t>(1, count));
    for (size_t k = 0; k < std::max<size_t>(1, count); ++k) {
        try {
            workers.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // fewer workers: owners run what none takes
        }
    }
}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& worker : workers)
        worker.join();
}

WorkerPool& WorkerPool::shared()
{
    static WorkerPool* const pool = new WorkerPool(std::max(1u, std::thread::hardware_concurrency()));
    return *pool;
}

WorkerPool::Pending WorkerPool::submit(std::function<void()> work)
{
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    task->lane = currentLane();
    task->control = currentControl();
    {
        const std::lock_guard lock(mutex);
        lanes[static_cast<size_t>(task->lane)].push_back(task);
    }
    wake.notify_one();
    return Pending(this, std::move(task));
}

void WorkerPool::runParts(size_t parts, const std::function<void(size_t)>& part)
{
    if (parts == 0)
        return;
    if (parts == 1) {
        part(0);
        return;
    }
    std::vector<Pending> helpers;
    helpers.reserve(parts - 1);
    for (size_t t = 1; t < parts; ++t)
        helpers.push_back(submit([&part, t] { part(t); }));
    std::vector<std::exception_ptr> errors(parts);
    try {
        part(0);
    } catch (...) {
        errors[0] = std::current_exception();
    }
    // Workers take the oldest tasks first: the newest are the likeliest still free.
    for (size_t t = parts - 1; t >= 1; --t)
        if (claim(*helpers[t - 1].task))
            execute(*helpers[t - 1].task);
    for (size_t t = 1; t < parts; ++t) {
        try {
            helpers[t - 1].get();
        } catch (...) {
            errors[t] = std::current_exception();
        }
    }
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}

size_t WorkerPool::runningTasks() const
{
    const std::lock_guard lock(mutex);
    return running;
}

size_t WorkerPool::queuedTasks() const
{
    const std::lock_guard lock(mutex);
    size_t queued = 0;
    for (const auto& lane : lanes)
        queued += lane.size();
    return queued;
}

void WorkerPool::work()
{
    onWorker = true;
    std::unique_lock lock(mutex);
    for (;;) {
        auto* lane = std::find_if(std::begin(lanes), std::end(lanes), [](const auto& l) { return !l.empty(); });
        if (stopping)
            return;
        if (lane == std::end(lanes)) {
            wake.wait(lock);
            continue;
        }
        const std::shared_ptr<Task> task = std::move(lane->front());
        lane->pop_front();
        task->started = true;
        ++running;
        lock.unlock();
        execute(*task);
        lock.lock();
        --running;
    }
}

bool WorkerPool::claim(Task& task)
{
    const std::lock_guard lock(mutex);
    if (task.started)
        return false;
    task.started = true;
    auto& lane = lanes[static_cast<size_t>(task.lane)];
    // The owner claims its recent tasks: search from the back.
    for (auto it = lane.end(); it != lane.begin();) {
        --it;
        if (it->get() == &task) {
            lane.erase(it);
            break;
        }
    }
    return true;
}

void WorkerPool::execute(Task& task)
{
    if (task.control && task.control->isCancelled()) {
        // Its job was cancelled before it started: nothing of it is run.
        task.error = std::make_exception_ptr(WorkCancelled());
    } else {
        const WorkScope scope(task.lane, task.control);
        try {
            task.work();
        } catch (...) {
            task.error = std::current_exception();
        }
    }
    task.work = nullptr;
    task.ended.store(true, std::memory_order_release);
    task.ended.notify_all();
}
