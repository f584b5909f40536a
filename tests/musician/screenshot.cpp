#include "screenshot.h"

#include "xconnection.h"

#include <QImage>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace musician {

Shot::Shot(int width, int height, std::vector<uint32_t> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels))
{
}

Shot Shot::ofScreen(const Rect& area)
{
    Display* display = xDisplay();
    XImage* image = XGetImage(display, DefaultRootWindow(display), area.x, area.y,
                              unsigned(area.width), unsigned(area.height), AllPlanes, ZPixmap);
    Shot shot;
    if (image) {
        std::vector<uint32_t> pixels;
        pixels.reserve(size_t(area.width) * size_t(area.height));
        for (int y = 0; y < area.height; ++y)
            for (int x = 0; x < area.width; ++x)
                pixels.push_back(uint32_t(XGetPixel(image, x, y)) & 0xffffffu);
        shot = Shot(area.width, area.height, std::move(pixels));
        XDestroyImage(image);
    }
    return shot;
}

Shot Shot::cropped(const Rect& area) const
{
    std::vector<uint32_t> pixels;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            pixels.push_back(at(x, y));
    return Shot(area.width, area.height, std::move(pixels));
}

namespace {
// Smooth scaling and blending may round a channel differently from one paint to the next.
constexpr int kRoundingLevels = 8;

bool visiblyDifferent(uint32_t a, uint32_t b)
{
    for (const int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > kRoundingLevels)
            return true;
    return false;
}
} // namespace

int Shot::differingPixels(const Shot& other) const
{
    if (width_ != other.width_ || height_ != other.height_) return width_ * height_;
    int count = 0;
    for (size_t i = 0; i < pixels_.size(); ++i)
        count += visiblyDifferent(pixels_[i], other.pixels_[i]);
    return count;
}

int Shot::pixelsUnlikeTheirRowStart() const
{
    int count = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 1; x < width_; ++x)
            count += visiblyDifferent(at(x, y), at(0, y));
    return count;
}

std::string Shot::save(const std::string& name) const
{
    std::filesystem::create_directories(PL3_SCREENSHOT_DIR);
    const std::string path = std::string(PL3_SCREENSHOT_DIR) + "/" + name + ".png";
    QImage image(width_, height_, QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            image.setPixel(x, y, at(x, y));
    image.save(QString::fromStdString(path), "PNG");
    return path;
}

Shot settledShotOf(const Rect& area)
{
    Shot last = Shot::ofScreen(area);
    for (int attempt = 0; attempt < 40; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        Shot next = Shot::ofScreen(area);
        if (next == last) return next;
        last = std::move(next);
    }
    return last;
}

} // namespace musician
