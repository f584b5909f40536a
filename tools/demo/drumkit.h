// A small synthesised drum kit and bass for the demo: every sound made from
// sines, a saw and seeded noise, mixed into a stereo buffer. The same calls
// always give the same samples.
#pragma once

#include "audiobuffer.h"

#include <cstddef>
#include <cstdint>

namespace pl3demo {

class DrumKit {
public:
    DrumKit(hostcore::PlanarBuffer& mix, double sampleRate);

    void kick(std::size_t at, float gain);
    void snare(std::size_t at, float gain);
    void hat(std::size_t at, float gain, bool open);
    void shaker(std::size_t at, float gain);
    void bass(std::size_t at, std::size_t length, double frequency, float gain);

private:
    // pan -1 is left, +1 right, with equal power.
    void add(std::size_t frame, float sample, float pan);
    std::size_t framesOf(double seconds) const;
    float noise();

    hostcore::PlanarBuffer& mix_;
    double rate_;
    std::uint32_t noiseState_ = 0x5eed1234u;
};

} // namespace pl3demo
