// The thread's current lane and job.

#include "dsp/WorkScope.h"

namespace {

thread_local WorkLane lane = WorkLane::foreground;
thread_local const WorkControl* control = nullptr;

} // namespace

WorkScope::WorkScope(WorkLane newLane, const WorkControl* newControl)
    : previousLane(lane), previousControl(control)
{
    lane = newLane;
    control = newControl;
}

WorkScope::~WorkScope()
{
    lane = previousLane;
    control = previousControl;
}

WorkLane currentLane()
{
    return lane;
}

const WorkControl* currentControl()
{
    return control;
}
