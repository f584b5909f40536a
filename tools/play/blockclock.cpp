#include "blockclock.h"

#include <cerrno>

namespace pl3play {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

} // namespace

std::int64_t BlockClock::now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return time.tv_sec * kNanosecondsPerSecond + time.tv_nsec;
}

BlockClock::BlockClock(int sampleRate, std::int32_t blockFrames)
    : rate_(static_cast<std::uint64_t>(sampleRate)),
      blockFrames_(static_cast<std::uint64_t>(blockFrames))
{
}

void BlockClock::start()
{
    startNanoseconds_ = now();
}

// Whole seconds and the remainder apart: frames × 10⁹ alone would overflow within days.
timespec BlockClock::deadline(std::uint64_t blocks) const
{
    const std::uint64_t frames = blocks * blockFrames_;
    const auto elapsed = static_cast<std::int64_t>(frames / rate_ * kNanosecondsPerSecond +
                                                   frames % rate_ * kNanosecondsPerSecond / rate_);
    const std::int64_t at = startNanoseconds_ + elapsed;
    return {static_cast<time_t>(at / kNanosecondsPerSecond),
            static_cast<long>(at % kNanosecondsPerSecond)};
}

void BlockClock::waitForEndOf(std::uint64_t blocks) const
{
    const timespec due = deadline(blocks);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

} // namespace pl3play
