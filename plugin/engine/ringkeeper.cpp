#include "ringkeeper.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>

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
                       const Relaxed<int32_t>& writePosition)
    : left(left), right(right), frames(frames), writePosition(writePosition),
      worker([this] { run(); })
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

// The first tick comes one period after the resume: a host scanning plug-ins
// closes them sooner, and the ring's first page is written by then anyway.
void RingKeeper::run()
{
    std::unique_lock lock(mutex);
    while (populatedEnd < frames) {
        if (stopRequested.wait_for(lock, kTick, [this] { return stopping; })) return;
        const int32_t target = std::min(frames, std::max(0, int32_t(writePosition)) + kLeadFrames);
        while (populatedEnd < target) {
            if (stopping) return;
            lock.unlock();
            const bool populated = populateUpTo(std::min(target, populatedEnd + kStepFrames));
            lock.lock();
            if (!populated) return;
        }
    }
}

bool RingKeeper::populateUpTo(int32_t end)
{
    const int32_t from = populatedEnd;
    if (!populateRange(left, from, end) || !populateRange(right, from, end)) return false;
    populatedEnd = end;
    return true;
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
