#include "pushbutton.h"

#include "glow.h"
#include "palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace pl3artwork {
namespace {

// Every lighting shares one geometry, so that a button does not seem to move when it lights.
// The margin outside the bezel is room for the glow.
constexpr double kBezelInset = 24.0;
constexpr double kBezelRadius = 30.0;
constexpr double kCapInset = 33.0;
constexpr double kCapRadius = 21.0;
constexpr double kFaceInset = 43.0;
constexpr double kFaceRadius = 14.0;
constexpr int kGlowRadius = 11;
constexpr int kGlowPasses = 3;

struct CapColours {
    QColor top; // the cap's sides, lit from above
    QColor bottom;
    QColor faceCentre; // the top face
    QColor faceEdge;
};

CapColours capColours(PushButtonLight light)
{
    switch (light) {
    case PushButtonLight::Lit:
        return {QColor(110, 200, 250), QColor(0, 88, 150), QColor(170, 228, 255),
                solidAccentBlue()};
    case PushButtonLight::Dim:
        return {QColor(46, 92, 124), QColor(12, 38, 60), QColor(52, 104, 140), QColor(24, 62, 92)};
    case PushButtonLight::Unlit:
        break;
    }
    return {QColor(168, 168, 170), QColor(70, 70, 72), QColor(142, 142, 145),
            QColor(104, 104, 107)};
}

QRectF inset(double margin)
{
    return QRectF(margin, margin, kPushButtonSize - 2 * margin, kPushButtonSize - 2 * margin);
}

// The light of a lit cap spilling over the bezel onto the panel. The blur works on the
// image's own pixels, so it is drawn at the image's size and its radius scaled with it.
void drawGlow(QPainter& p, int size)
{
    const double scale = double(size) / kPushButtonSize;
    QImage source(size, size, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::transparent);
    {
        QPainter shape(&source);
        shape.setRenderHint(QPainter::Antialiasing);
        shape.scale(scale, scale);
        shape.setPen(Qt::NoPen);
        shape.setBrush(QColor(30, 165, 240));
        shape.drawRoundedRect(inset(kBezelInset - 4), kBezelRadius + 4, kBezelRadius + 4);
    }
    const int radius = std::max(1, int(std::lround(kGlowRadius * scale)));
    const QImage glow = blurred(source, radius, kGlowPasses);
    p.save();
    p.resetTransform();
    p.drawImage(0, 0, glow);
    p.drawImage(0, 0, glow); // twice: a brighter halo than one blur leaves
    p.restore();
}

// The opening in the panel the cap sits in: dark, with its lower edge catching the light.
void drawBezel(QPainter& p)
{
    QLinearGradient rim(0, kBezelInset, 0, kPushButtonSize - kBezelInset);
    rim.setColorAt(0.0, QColor(6, 6, 6, 250));
    rim.setColorAt(1.0, QColor(40, 40, 40, 250));
    p.setPen(QPen(QColor(0, 0, 0, 255), 2.0));
    p.setBrush(rim);
    p.drawRoundedRect(inset(kBezelInset), kBezelRadius, kBezelRadius);
}

void drawCap(QPainter& p, const CapColours& colours)
{
    QLinearGradient sides(0, kCapInset, 0, kPushButtonSize - kCapInset);
    sides.setColorAt(0.0, colours.top);
    sides.setColorAt(1.0, colours.bottom);
    p.setPen(QPen(QColor(0, 0, 0, 180), 2.0));
    p.setBrush(sides);
    p.drawRoundedRect(inset(kCapInset), kCapRadius, kCapRadius);

    const QRectF face = inset(kFaceInset);
    QRadialGradient top(face.center() - QPointF(10, 14), face.width() * 0.75);
    top.setColorAt(0.0, colours.faceCentre);
    top.setColorAt(1.0, colours.faceEdge);
    p.setPen(QPen(QColor(0, 0, 0, 70), 1.5));
    p.setBrush(top);
    p.drawRoundedRect(face, kFaceRadius, kFaceRadius);
}

// A soft reflection across the upper part of the face.
void drawSheen(QPainter& p)
{
    const QRectF face = inset(kFaceInset);
    QLinearGradient sheen(0, face.top(), 0, face.center().y());
    sheen.setColorAt(0.0, QColor(255, 255, 255, 90));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawRoundedRect(QRectF(face.left() + 4, face.top() + 3, face.width() - 8, face.height() / 2),
                      kFaceRadius - 3, kFaceRadius - 3);
}

} // namespace

QImage renderPushButton(PushButtonLight light, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(size) / kPushButtonSize, double(size) / kPushButtonSize);
    if (light == PushButtonLight::Lit) drawGlow(p, size);
    drawBezel(p);
    drawCap(p, capColours(light));
    drawSheen(p);
    return image;
}

} // namespace pl3artwork
