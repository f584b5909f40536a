// Pixels as the X server shows them, for telling whether a part of the editor changed, and
// saved as PNG files so that a person can look at what the test saw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace musician {

struct Rect {
    int x;
    int y;
    int width;
    int height;
};

class Shot {
public:
    Shot() = default;
    Shot(int width, int height, std::vector<uint32_t> pixels);

    // A rectangle of the root window (screen coordinates); empty where X refuses.
    static Shot ofScreen(const Rect& area);

    bool empty() const { return pixels_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    Shot cropped(const Rect& area) const;
    bool operator==(const Shot& other) const = default;
    // Pixels whose colour differs by more than rounding from one paint to the next.
    int differingPixels(const Shot& other) const;
    // Pixels visibly unlike the first of their row: over a background that changes only from
    // row to row, what is drawn on it.
    int pixelsUnlikeTheirRowStart() const;

    // Into the run's screenshot folder as NAME.png; returns the path.
    std::string save(const std::string& name) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_; // 0xRRGGBB
};

// A rectangle of the screen once two shots 150 ms apart agree (or the last of 40 tries).
Shot settledShotOf(const Rect& area);

} // namespace musician
