// Soft light around a shape: its picture spread by repeated box blurs, the way a lit cap
// bleeds into the panel around it. QPainter has no blur of its own.
#pragma once

#include <QImage>

namespace pl3artwork {

// A copy of image (converted to premultiplied ARGB32) blurred passes times with a box of
// 2 * radius + 1 pixels, horizontally and vertically. Three passes come close to a Gaussian.
QImage blurred(const QImage& image, int radius, int passes);

} // namespace pl3artwork
