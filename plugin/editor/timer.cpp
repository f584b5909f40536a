#include "timer.h"

#include <system_error>

using Clock = std::chrono::steady_clock;

timespec Timer::periodOf(int32_t ms)
{
    if (ms < 0) ms = 0;
    if (ms >= 1000) return {ms / 1000, long(ms % 1000) * 1000000L};
    return {0, long(ms) * 1000000L};
}

Timer::~Timer()
{
    {
        std::unique_lock lock(mutex);
        quitting = true;
        armed = false;
        ++generation;
        changed.notify_all();
        waitForTick(lock);
    }
    if (!worker.joinable()) return;
    if (worker.get_id() == std::this_thread::get_id())
        worker.detach();
    else
        worker.join();
}

bool Timer::prepare()
{
    std::lock_guard lock(mutex);
    return startWorker();
}

// Called with the mutex held.
bool Timer::startWorker()
{
    if (worker.joinable()) return true;
    try {
        worker = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Timer::start(int32_t ms)
{
    const timespec interval = periodOf(ms);
    const auto length =
        std::chrono::seconds(interval.tv_sec) + std::chrono::nanoseconds(interval.tv_nsec);
    if (length == Clock::duration::zero()) {
        stop();
        return;
    }
    std::lock_guard lock(mutex);
    if (!startWorker()) return;
    period = std::chrono::duration_cast<Clock::duration>(length);
    nextTick = Clock::now() + period;
    armed = true;
    ++generation;
    changed.notify_all();
}

void Timer::stop()
{
    std::unique_lock lock(mutex);
    armed = false;
    ++generation;
    changed.notify_all();
    waitForTick(lock);
}

// A tick that stops its own timer (the host closing the editor from inside a
// callback the tick caused) must not wait for itself.
void Timer::waitForTick(std::unique_lock<std::mutex>& lock)
{
    if (worker.get_id() == std::this_thread::get_id()) return;
    changed.wait(lock, [this] { return !ticking; });
}

void Timer::callback()
{
    if (userData && callbackFunction) callbackFunction(userData);
}

void Timer::run()
{
    std::unique_lock lock(mutex);
    while (!quitting) {
        changed.wait(lock, [this] { return quitting || armed; });
        const uint64_t armedAs = generation;
        const bool disturbed =
            changed.wait_until(lock, nextTick, [&] { return quitting || generation != armedAs; });
        if (disturbed) continue;
        ticking = true;
        lock.unlock();
        callback();
        lock.lock();
        ticking = false;
        changed.notify_all();
        if (generation == armedAs) {
            nextTick += period;
            // A tick that overran its period is not made up for.
            if (nextTick < Clock::now()) nextTick = Clock::now() + period;
        }
    }
}
