// Real-time pacing by absolute deadlines: block k ends at start + k × block / rate on the
// monotonic clock. Sleeping until an absolute time keeps each sleep's lateness from adding up.
#pragma once

#include <cstdint>
#include <ctime>

namespace pl3play {

class BlockClock {
public:
    BlockClock(int sampleRate, std::int32_t blockFrames);

    // Real-time: nanoseconds on the monotonic clock.
    static std::int64_t now();

    // Now is the start of block 0.
    void start();
    // Real-time: sleeps until `blocks` blocks have had their time (returns at once if late).
    void waitForEndOf(std::uint64_t blocks) const;
    timespec deadline(std::uint64_t blocks) const;

private:
    std::int64_t startNanoseconds_ = 0;
    std::uint64_t rate_;
    std::uint64_t blockFrames_;
};

} // namespace pl3play
