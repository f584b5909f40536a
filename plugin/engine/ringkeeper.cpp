#include "ringkeeper.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace {
// Population goes in steps this long, so that a close never waits for more
// than a step however far behind the keeper is.
constexpr int32_t kStepFrames = 1 << 14;

std::uintptr_t pageSize()
{
    static const auto size = std::uintptr_t(sysconf(_SC_PAGESIZE));
    return size;
}
} // namespace

RingKeeper::RingKeeper(float* left, float* right, int32_t frames,
                       const Relaxed<int32_t>& writePosition, KeptLoopBuffer loop)
    : left(left), right(right), frames(frames), writePosition(writePosition), loop(loop),
      loopPopulatedEnd(loop.left ? loop.prefaulted : frames), worker([this] { run(); })
{
}

RingKeeper::~RingKeeper()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    stopRequested.notify_all();
    worker.join();
}

bool RingKeeper::finished() const
{
    return failed || (populatedEnd >= frames && loopPopulatedEnd >= frames);
}

// The first tick comes one period after the resume: a host scanning plug-ins
// closes them sooner, and the ring's first page is written by then anyway.
void RingKeeper::run()
{
    std::unique_lock lock(mutex);
    bool mapped = false;
    while (!finished()) {
        if (stopRequested.wait_for(lock, kTick, [this] { return stopping; })) return;
        keepRing(lock);
        if (loop.left && !std::exchange(mapped, true)) mapRingForReading();
        if (loop.armedBeatFrames) keepLoop(lock, *loop.armedBeatFrames);
    }
}

void RingKeeper::keepRing(std::unique_lock<std::mutex>& lock)
{
    const int32_t target = std::min(frames, std::max(0, int32_t(writePosition)) + kLeadFrames);
    populate(lock, left, right, populatedEnd, target, &populatedEnd);
}

// The loop buffer as far as a loop at this beat can write.
void RingKeeper::keepLoop(std::unique_lock<std::mutex>& lock, int32_t beatFrames)
{
    if (beatFrames <= 0) return;
    const auto loopEnd = int32_t(std::min<int64_t>(frames, int64_t(kLoopBeats) * beatFrames));
    populate(lock, loop.left, loop.right, loopPopulatedEnd, loopEnd, &loopPopulatedEnd);
}

// What the ring has not been written with reads as zeros. Mapping all of it to
// the kernel's one zero page costs no memory, and spares a capture in the
// ring's first lap, which reaches back to the ring's end, a fault on every page
// it reads there.
void RingKeeper::mapRingForReading()
{
    for (float* channel : {left, right})
        if (madvise(channel, size_t(frames) * sizeof(float), MADV_POPULATE_READ) != 0 &&
            errno != EINTR && errno != EAGAIN)
            return;
}

// Populates both channels over [from, to) in steps, letting go of the lock
// between them so that a close never waits for more than a step; `progress`,
// if given, follows each step. False if it stopped first or the kernel refused.
bool RingKeeper::populate(std::unique_lock<std::mutex>& lock, float* channelLeft,
                          float* channelRight, int32_t from, int32_t to, Relaxed<int32_t>* progress)
{
    while (from < to) {
        if (stopping || failed) return false;
        const int32_t end = std::min(to, from + kStepFrames);
        lock.unlock();
        const bool populated =
            populateRange(channelLeft, from, end) && populateRange(channelRight, from, end);
        lock.lock();
        if (!populated) failed = true;
        if (populated && progress) *progress = end;
        from = end;
    }
    return !stopping && !failed;
}

// A kernel without MADV_POPULATE_WRITE (before 5.14) says EINVAL: the keeper
// gives up and the audio thread faults the pages in itself, as without it.
bool RingKeeper::populateRange(float* channel, int32_t from, int32_t to)
{
    const std::uintptr_t page = pageSize();
    const auto base = reinterpret_cast<std::uintptr_t>(channel);
    const std::uintptr_t first = (base + std::uintptr_t(from) * sizeof(float)) & ~(page - 1);
    const std::uintptr_t last =
        std::min((base + std::uintptr_t(to) * sizeof(float) + page - 1) & ~(page - 1),
                 base + std::uintptr_t(frames) * sizeof(float));
    if (last <= first) return true;
    while (madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) != 0)
        if (errno != EINTR && errno != EAGAIN) return false;
    return true;
}
