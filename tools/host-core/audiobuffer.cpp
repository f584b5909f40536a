#include "audiobuffer.h"

#include "hosterror.h"

#include <algorithm>
#include <string>

namespace hostcore {

PlanarBuffer::PlanarBuffer(int channels, std::size_t frames, float fill)
    : frames_(frames), samples_(std::max(channels, 0), std::vector<float>(frames, fill)),
      pointers_(samples_.size())
{
}

void PlanarBuffer::fill(float value)
{
    for (auto& samples : samples_)
        std::fill(samples.begin(), samples.end(), value);
}

float** PlanarBuffer::pointersAt(std::size_t frame)
{
    if (frame > frames_)
        throw HostError(HostFailure::BadArgument, "buffer of " + std::to_string(frames_) +
                                                      " frames has no frame " +
                                                      std::to_string(frame));
    for (std::size_t c = 0; c < samples_.size(); ++c)
        pointers_[c] = samples_[c].data() + frame;
    return pointers_.data();
}

} // namespace hostcore
