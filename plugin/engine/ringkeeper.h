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
// Once a loop is armed the loop buffer needs the same: a capture copies up to
// a bar into it and the recording appends up to eight beats behind that. It is
// populated then, from the beat length the engine publishes, and not before,
// so a resumed engine that loops nothing stays small. A capture in the ring's
// first lap reaches back to the ring's end, which nothing wrote yet: the
// keeper maps the ring's unwritten pages to the zero page for reading.
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

// The loop buffer's channels, of the ring's length, of which the first
// `prefaulted` frames are already present, and the beat length in frames that
// the engine publishes once a loop is armed (0 before).
struct KeptLoopBuffer {
    float* left = nullptr;
    float* right = nullptr;
    int32_t prefaulted = 0;
    const Relaxed<int32_t>* armedBeatFrames = nullptr;
};

class RingKeeper {
public:
    // Frames populated ahead of the write position: 1.5 s at 44.1 kHz, a third
    // of a second at 192 kHz, far more than the ring advances between ticks.
    static constexpr int32_t kLeadFrames = 1 << 16;
    static constexpr auto kTick = std::chrono::milliseconds(20);

    // The loop buffer holds at most a bar and eight beats recorded behind it.
    static constexpr int32_t kLoopBeats = 12;

    RingKeeper(float* left, float* right, int32_t frames, const Relaxed<int32_t>& writePosition,
               KeptLoopBuffer loop = {});
    ~RingKeeper();
    RingKeeper(const RingKeeper&) = delete;
    RingKeeper& operator=(const RingKeeper&) = delete;

    // The frame below which both channels are populated.
    int32_t populatedFrames() const { return populatedEnd; }

    // The frame below which both loop channels are populated.
    int32_t loopPopulatedFrames() const { return loopPopulatedEnd; }

private:
    void run();
    bool finished() const;
    void keepRing(std::unique_lock<std::mutex>& lock);
    void keepLoop(std::unique_lock<std::mutex>& lock, int32_t beatFrames);
    void mapRingForReading();
    bool populate(std::unique_lock<std::mutex>& lock, float* channelLeft, float* channelRight,
                  int32_t from, int32_t to, Relaxed<int32_t>* progress);
    bool populateRange(float* channel, int32_t from, int32_t to);

    float* const left;
    float* const right;
    const int32_t frames;
    const Relaxed<int32_t>& writePosition;
    const KeptLoopBuffer loop;
    Relaxed<int32_t> populatedEnd{0};
    Relaxed<int32_t> loopPopulatedEnd{0};
    bool failed = false; // the kernel cannot populate: the audio thread faults as before

    std::mutex mutex;
    std::condition_variable stopRequested;
    bool stopping = false;
    std::thread worker; // last: it starts once everything above is in place
};
