#include "framering.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pl3play {

FrameRing::FrameRing(int channels, std::size_t minimumFrames)
    : channels_(channels), capacity_(std::bit_ceil(std::max<std::size_t>(minimumFrames, 1))),
      samples_(capacity_ * static_cast<std::size_t>(channels))
{
}

bool FrameRing::push(const float* interleaved, std::size_t frames)
{
    const std::size_t pushed = pushed_.load(std::memory_order_relaxed); // only this side writes it
    const std::size_t popped = popped_.load(std::memory_order_acquire);
    if (capacity_ - (pushed - popped) < frames) return false;
    copyIn(interleaved, pushed & (capacity_ - 1), frames);
    pushed_.store(pushed + frames, std::memory_order_release);
    return true;
}

std::size_t FrameRing::pop(float* interleaved, std::size_t maxFrames)
{
    const std::size_t popped = popped_.load(std::memory_order_relaxed); // only this side writes it
    const std::size_t pushed = pushed_.load(std::memory_order_acquire);
    const std::size_t frames = std::min(maxFrames, pushed - popped);
    copyOut(interleaved, popped & (capacity_ - 1), frames);
    popped_.store(popped + frames, std::memory_order_release);
    return frames;
}

// The stretch from `at` may run past the end of the storage: it goes on at the start.
void FrameRing::copyIn(const float* interleaved, std::size_t at, std::size_t frames)
{
    const std::size_t first = std::min(frames, capacity_ - at);
    const auto width = static_cast<std::size_t>(channels_);
    std::memcpy(samples_.data() + at * width, interleaved, first * width * sizeof(float));
    std::memcpy(samples_.data(), interleaved + first * width,
                (frames - first) * width * sizeof(float));
}

void FrameRing::copyOut(float* interleaved, std::size_t at, std::size_t frames) const
{
    const std::size_t first = std::min(frames, capacity_ - at);
    const auto width = static_cast<std::size_t>(channels_);
    std::memcpy(interleaved, samples_.data() + at * width, first * width * sizeof(float));
    std::memcpy(interleaved + first * width, samples_.data(),
                (frames - first) * width * sizeof(float));
}

} // namespace pl3play
