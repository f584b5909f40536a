#include "timer.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

// The timer service may still start a tick for a timer that has just been
// deleted, so a tick never holds a Timer pointer: it looks its key up here, and
// stop and destruction wait for a tick that found its Timer.
struct Registry {
    std::mutex mutex;
    std::condition_variable idle;
    std::unordered_map<uint64_t, Timer*> timers;
    std::unordered_map<uint64_t, std::thread::id> busy; // key -> thread of the running tick
    std::unordered_map<uint64_t, bool> armed;
    uint64_t nextKey = 1;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

void printCreationFailure(int error)
{
    std::printf("timer creation failed err = %d\n", error);
    switch (error) {
    case EAGAIN:
        std::printf("Temporary error during kernel allocation of timer structures. ");
        break;
    case EINVAL:
        std::printf("Clock ID, sigev_notify, sigev_signo, or sigev_notify_thread_id is invalid. ");
        break;
    case ENOMEM:
        std::printf("Could not allocate memory. ");
        break;
    default:
        break;
    }
    std::fflush(stdout);
}

// Waits until no tick of this key runs, unless the caller is that tick.
void waitForTick(std::unique_lock<std::mutex>& lock, uint64_t key)
{
    Registry& r = registry();
    r.idle.wait(lock, [&] {
        const auto running = r.busy.find(key);
        return running == r.busy.end() || running->second == std::this_thread::get_id();
    });
}

} // namespace

void callback_wrap(sigval value)
{
    const auto key =
        uint64_t(value.sival_ptr == nullptr ? 0 : reinterpret_cast<uintptr_t>(value.sival_ptr));
    Registry& r = registry();
    Timer* timer = nullptr;
    {
        std::lock_guard lock(r.mutex);
        const auto found = r.timers.find(key);
        if (found == r.timers.end() || !r.armed[key] || r.busy.count(key)) return;
        timer = found->second;
        r.busy[key] = std::this_thread::get_id();
    }
    timer->callback();
    {
        std::lock_guard lock(r.mutex);
        r.busy.erase(key);
    }
    r.idle.notify_all();
}

Timer::Timer()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    key = r.nextKey++;
    r.timers[key] = this;
    r.armed[key] = false;
}

Timer::~Timer()
{
    stop();
    Registry& r = registry();
    {
        std::unique_lock lock(r.mutex);
        r.timers.erase(key);
        r.armed.erase(key);
        waitForTick(lock, key);
    }
    if (created) timer_delete(timerId);
}

// The system timer is made on the first start, not at construction: a host
// scanning plug-ins constructs many that never open an editor, and the timer
// service starts a thread of its own.
bool Timer::create()
{
    if (created) return true;
    sigevent notification{};
    notification.sigev_notify = SIGEV_THREAD;
    notification.sigev_notify_function = callback_wrap;
    notification.sigev_value.sival_ptr = reinterpret_cast<void*>(uintptr_t(key));
    notification.sigev_notify_attributes = nullptr;
    if (timer_create(CLOCK_REALTIME, &notification, &timerId) != 0) {
        printCreationFailure(errno);
        return false;
    }
    created = true;
    return true;
}

timespec Timer::periodOf(int32_t ms)
{
    if (ms < 0) ms = 0;
    if (ms >= 1000) return {ms / 1000, long(ms % 1000) * 1000000L};
    return {0, long(ms) * 1000000L};
}

void Timer::start(int32_t ms)
{
    if (!create()) return;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        r.armed[key] = true;
    }
    const timespec period = periodOf(ms);
    itimerspec setting{period, period};
    timer_settime(timerId, 0, &setting, nullptr);
}

void Timer::stop()
{
    if (created) {
        itimerspec disarmed{};
        timer_settime(timerId, 0, &disarmed, nullptr);
    }
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    r.armed[key] = false;
    waitForTick(lock, key);
}

void Timer::callback()
{
    if (userData && callbackFunction) callbackFunction(userData);
}
