// A single-producer, single-consumer ring of interleaved audio frames, lock-free and allocated
// once. The producer (the audio thread) only pushes, the consumer (the writer thread) only pops:
// each index is written by one side and read by the other, so two atomics are all they share.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

namespace pl3play {

class FrameRing {
public:
    // Room for at least `minimumFrames` frames (a power of two).
    FrameRing(int channels, std::size_t minimumFrames);

    int channels() const { return channels_; }
    std::size_t capacity() const { return capacity_; }

    // Producer, real-time: all `frames` frames or, when there is no room, none (false).
    bool push(const float* interleaved, std::size_t frames);
    // Consumer: up to `maxFrames` frames, oldest first; answers how many.
    std::size_t pop(float* interleaved, std::size_t maxFrames);

private:
    void copyIn(const float* interleaved, std::size_t at, std::size_t frames);
    void copyOut(float* interleaved, std::size_t at, std::size_t frames) const;

    int channels_;
    std::size_t capacity_;
    std::vector<float> samples_;
    // Frames ever pushed and ever popped; their difference is what the ring holds. Each side
    // releases its own index after touching the samples and acquires the other's before, so a
    // slot is never read before it is written nor overwritten before it is read.
    alignas(64) std::atomic<std::size_t> pushed_{0};
    alignas(64) std::atomic<std::size_t> popped_{0};
};

} // namespace pl3play
