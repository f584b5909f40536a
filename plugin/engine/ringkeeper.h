// Keeps the pages of the capture ring faulted in ahead of the audio thread.
//
// The ring's mapping hands out its pages only as they are first written, and
// the audio thread writes a fresh page into each channel every 1,024 frames
// for the whole first lap (three minutes at 44.1 kHz). Each first write is a
// page fault: the kernel zeroes a page on the audio thread, and waits for the
// process's mapping lock while any thread of the host maps or unmaps memory.
// A thread of its own asks the kernel to populate the pages a little ahead of
// the write position instead, so the audio thread finds them present; once
// the whole ring has been populated the thread ends.
//
// Threads: construction and destruction on the host thread that resumes and
// closes the effect; the write position is published by the audio thread.
// Population leaves the pages' contents alone (the kernel only maps them), so
// it cannot race with the audio thread's writes.
#pragma once

#include "relaxed.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

class RingKeeper {
public:
    // Frames populated ahead of the write position: 1.5 s at 44.1 kHz, a third
    // of a second at 192 kHz, far more than the ring advances between ticks.
    static constexpr int32_t kLeadFrames = 1 << 16;
    static constexpr auto kTick = std::chrono::milliseconds(20);

    RingKeeper(float* left, float* right, int32_t frames, const Relaxed<int32_t>& writePosition);
    ~RingKeeper();
    RingKeeper(const RingKeeper&) = delete;
    RingKeeper& operator=(const RingKeeper&) = delete;

    // The frame below which both channels are populated.
    int32_t populatedFrames() const { return populatedEnd; }

private:
    void run();
    bool populateUpTo(int32_t end);
    bool populateRange(float* channel, int32_t from, int32_t to);

    float* const left;
    float* const right;
    const int32_t frames;
    const Relaxed<int32_t>& writePosition;
    Relaxed<int32_t> populatedEnd{0};

    std::mutex mutex;
    std::condition_variable stopRequested;
    bool stopping = false;
    std::thread worker; // last: it starts once everything above is in place
};
