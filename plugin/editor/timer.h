// The editor's periodic poll: a thread of the editor's own that calls a
// function every period while armed.
//
// Threads: start, stop and destruction on the host thread that opens and closes
// the editor; callback on the poll thread. stop waits for a tick already
// running (unless called from that tick), and ticks never overlap. The thread
// is started by prepare or the first start, so an editor that is never opened
// (a host scanning plug-ins) never starts one. The system's timer notification
// thread was no option: glibc starts it behind the threading library's back,
// where neither stop nor ThreadSanitizer can follow it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <thread>

class Timer {
public:
    Timer() = default;
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Starts the thread the ticks run on, not yet armed, unless it runs already;
    // false when the system gives no thread. Nothing is thrown.
    bool prepare();
    // Every ms milliseconds, the first tick ms from now; 0 disarms. Without a
    // thread (prepare answered false) nothing ticks.
    void start(int32_t ms);
    void stop();
    void callback();

    void (*callbackFunction)(void*) = nullptr;
    void* userData = nullptr;

    // The interval that start(ms) arms.
    static timespec periodOf(int32_t ms);

private:
    void run();
    bool startWorker();
    void waitForTick(std::unique_lock<std::mutex>& lock);

    std::mutex mutex;
    std::condition_variable changed;
    std::thread worker;
    std::chrono::steady_clock::duration period{};
    std::chrono::steady_clock::time_point nextTick{};
    uint64_t generation = 0; // every start and stop begins a new one
    bool armed = false;
    bool ticking = false;
    bool quitting = false;
};
