#include "glow.h"

#include <QRgb>

#include <algorithm>
#include <array>
#include <vector>

namespace pl3artwork {
namespace {

// One line of pixels at stride step, blurred in place with a running sum; samples beyond the
// ends count as transparent, so the light fades out towards the image border.
void blurLine(QRgb* first, int count, int step, int radius)
{
    std::vector<QRgb> line(count);
    for (int i = 0; i < count; ++i)
        line[i] = first[i * step];

    const int window = 2 * radius + 1;
    std::array<int, 4> sum{};
    auto add = [&sum](QRgb pixel, int sign) {
        sum[0] += sign * qAlpha(pixel);
        sum[1] += sign * qRed(pixel);
        sum[2] += sign * qGreen(pixel);
        sum[3] += sign * qBlue(pixel);
    };
    for (int i = 0; i < std::min(radius, count); ++i)
        add(line[i], +1);
    for (int i = 0; i < count; ++i) {
        if (i + radius < count) add(line[i + radius], +1);
        if (i - radius - 1 >= 0) add(line[i - radius - 1], -1);
        first[i * step] = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
    }
}

} // namespace

QImage blurred(const QImage& image, int radius, int passes)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = result.width();
    const int height = result.height();
    auto* pixels = reinterpret_cast<QRgb*>(result.bits());
    const int stride = static_cast<int>(result.bytesPerLine() / sizeof(QRgb));
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y)
            blurLine(pixels + y * stride, width, 1, radius);
        for (int x = 0; x < width; ++x)
            blurLine(pixels + x, height, stride, radius);
    }
    return result;
}

} // namespace pl3artwork
