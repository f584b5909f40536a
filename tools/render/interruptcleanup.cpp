#include "interruptcleanup.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace pl3render {

namespace {

// The handler may only use what is async-signal-safe: a fixed buffer, lock-free
// atomic flags, unlink and _exit. It may run on any thread of the process, the
// plug-in's among them, so the flags are atomics rather than volatile.
char pathToRemove[PATH_MAX];
std::atomic<int> pathRegistered{0};
std::atomic<int> interruptions{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onInterrupt(int)
{
    if (!interruptions) {
        interruptions = 1;
        return;
    }
    if (pathRegistered) unlink(pathToRemove);
    _exit(kInterruptedExit);
}

sigset_t interruptSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

void installInterruptCleanup()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = interruptSignals();
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void stopIfInterrupted()
{
    if (interruptions) throw Interrupted();
}

DeferredInterrupts::DeferredInterrupts()
{
    const sigset_t signals = interruptSignals();
    sigprocmask(SIG_BLOCK, &signals, &previous_);
}

DeferredInterrupts::~DeferredInterrupts()
{
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void registerFileToRemove(const char* path)
{
    // The flag goes down before the buffer changes, so a signal in between
    // never unlinks half a name.
    pathRegistered = 0;
    std::strncpy(pathToRemove, path, sizeof pathToRemove - 1);
    pathToRemove[sizeof pathToRemove - 1] = '\0';
    pathRegistered = 1;
}

void unregisterFileToRemove()
{
    pathRegistered = 0;
}

} // namespace pl3render
