#include "pill.h"

#include "palette.h"

#include <QLinearGradient>
#include <QPainter>

namespace pl3artwork {
namespace {

struct PillColours {
    QColor top;
    QColor bottom;
    QColor border;
    QColor sheen; // a lit line along the upper edge; transparent when pushed in
};

PillColours pillColours(PillState state)
{
    switch (state) {
    case PillState::Active:
        return {QColor(52, 176, 240), solidAccentBlue().darker(125), QColor(0, 48, 78),
                QColor(255, 255, 255, 70)};
    case PillState::Pressed:
        return {QColor(36, 36, 37), QColor(70, 70, 72), QColor(12, 12, 12), QColor(0, 0, 0, 0)};
    case PillState::Normal:
        break;
    }
    return {QColor(118, 118, 120), QColor(88, 88, 90), QColor(28, 28, 28),
            QColor(255, 255, 255, 50)};
}

} // namespace

QImage renderPill(PillState state, int scale)
{
    const PillColours colours = pillColours(state);
    QImage image(kPillWidth * scale, kPillHeight * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);

    // Half-pixel insets put the one-pixel border on whole pixels.
    const QRectF outline(0.5, 0.5, kPillWidth - 1.0, kPillHeight - 1.0);
    const double radius = outline.height() / 2;
    QLinearGradient fill(0, 0, 0, kPillHeight);
    fill.setColorAt(0.0, colours.top);
    fill.setColorAt(1.0, colours.bottom);
    p.setPen(QPen(colours.border, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(outline, radius, radius);

    p.setPen(QPen(colours.sheen, 1.0));
    p.drawLine(QPointF(radius, 1.5), QPointF(kPillWidth - radius, 1.5));
    return image;
}

} // namespace pl3artwork
