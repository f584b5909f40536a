// Planar float audio for driving a plug-in: one contiguous array per channel,
// plus the pointer table the process entries take, offset to any frame.
#pragma once

#include <cstddef>
#include <vector>

namespace hostcore {

class PlanarBuffer {
public:
    PlanarBuffer(int channels, std::size_t frames, float fill = 0.0f);

    int channels() const { return static_cast<int>(samples_.size()); }
    std::size_t frames() const { return frames_; }

    float* channel(int c) { return samples_.at(c).data(); }
    const float* channel(int c) const { return samples_.at(c).data(); }
    float& at(int c, std::size_t frame) { return samples_.at(c).at(frame); }
    float at(int c, std::size_t frame) const { return samples_.at(c).at(frame); }

    void fill(float value);

    // The table stays valid until the next call on this buffer; the process
    // entries take non-const pointers because a plug-in may work in place.
    float** pointersAt(std::size_t frame);

private:
    std::size_t frames_;
    std::vector<std::vector<float>> samples_;
    std::vector<float*> pointers_;
};

} // namespace hostcore
