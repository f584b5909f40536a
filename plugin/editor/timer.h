// A periodic poll driven by a POSIX interval timer whose expiries run a function
// on a thread of the system's timer service rather than raising a signal.
//
// Threads: start, stop and destruction on the host thread that opens and closes
// the editor; callback on the timer's notification thread. stop waits for a tick
// already running (unless called from that tick), and ticks never overlap: a
// tick that finds the previous one still busy is dropped.
#pragma once

#include <csignal>
#include <cstdint>
#include <ctime>

void callback_wrap(sigval value);

class Timer {
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Every ms milliseconds from now on; 0 disarms.
    void start(int32_t ms);
    void stop();
    void callback();

    void (*callbackFunction)(void*) = nullptr;
    void* userData = nullptr;

    // The interval that start(ms) arms.
    static timespec periodOf(int32_t ms);

private:
    bool create();

    timer_t timerId{};
    bool created = false;
    uint64_t key = 0; // the timer service reaches this object through its key only
};
