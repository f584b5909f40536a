// Where the audio thread sends each processed block besides the output file: a sound device.
#pragma once

#include <cstdint>

namespace pl3play {

class BlockSink {
public:
    virtual ~BlockSink() = default;

    // Whether play() blocks until the device has room, so that it paces the audio thread. A
    // sink that takes everything at once leaves the pacing to the clock.
    virtual bool keepsTime() const = 0;
    // Audio thread, real-time: interleaved stereo; no allocation, no lock.
    virtual void play(const float* interleaved, std::int32_t frames) = 0;
    // Times the device ran dry and had to be restarted.
    virtual std::uint64_t underruns() const = 0;
};

} // namespace pl3play
