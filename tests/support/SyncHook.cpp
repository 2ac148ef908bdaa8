// fsync defined in the test executable, which the linker binds the libraries'
// calls to; the real work is the system call itself.

#include "tests/support/SyncHook.h"

#include <utility>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

SyncHook::Observer& observer()
{
    static SyncHook::Observer current;
    return current;
}

} // namespace

SyncHook::SyncHook(Observer watch)
{
    observer() = std::move(watch);
}

SyncHook::~SyncHook()
{
    observer() = nullptr;
}

extern "C" int fsync(int descriptor)
{
    // An observer's own syncs are not shown to it again.
    static thread_local bool observing = false;
    if (observer() && !observing) {
        observing = true;
        observer()(descriptor);
        observing = false;
    }
    return static_cast<int>(::syscall(SYS_fsync, descriptor));
}
