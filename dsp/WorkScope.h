#pragma once
// The lane and job that the work on a thread belongs to: tasks it hands to the
// worker pool inherit both, so that a job's parts keep its priority and are
// dropped unstarted once it is cancelled.

class WorkControl;

// Priority of work, highest first: what the user waits for (the views' passes,
// exports), quick coarse pictures, then summaries built in the background.
enum class WorkLane { foreground, sketch, background };

// Sets the calling thread's lane and job while it lives; the previous ones
// come back when it ends. Whoever runs a job sets one around it.
class WorkScope
{
public:
    // control: the job's, or null for work that no one cancels.
    WorkScope(WorkLane lane, const WorkControl* control);
    ~WorkScope();
    WorkScope(const WorkScope&) = delete;
    WorkScope& operator=(const WorkScope&) = delete;

private:
    WorkLane previousLane;
    const WorkControl* previousControl;
};

// The calling thread's lane (foreground where no scope was set) and job (null).
WorkLane currentLane();
const WorkControl* currentControl();

// True on the worker pool's threads. A part running there never waits out its
// job's pause (it ends within its share of a block): the job's own thread waits
// instead, so a held job never holds a worker.
bool onPoolWorker();
