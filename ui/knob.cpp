#include "knob.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Shift slows a drag down to an eighth for fine adjustment.
constexpr double kFineDragFactor = 0.125;
const QColor kPlateColour(0, 255, 0, 128);
const QColor kPlateTextColour(0, 33, 0);

bool isColumn(const QPixmap& strip)
{
    return strip.width() <= strip.height();
}

} // namespace

Knob::Knob(QWidget* parent, int tag, QPixmap* strip) : Control(parent)
{
    this->tag = tag;
    setPixmap(strip);
}

void Knob::setPixmap(QPixmap* strip)
{
    if (!strip || strip->isNull()) return;
    const int shorter = std::min(strip->width(), strip->height());
    const int longer = std::max(strip->width(), strip->height());
    frameSize = shorter;
    lastFrame = longer / shorter - 1;
    stripPixmap = strip;
    sourcePixmap = *strip;
    if (!testAttribute(Qt::WA_PendingResizeEvent)) fitStrip(size());
}

void Knob::setRange(int n)
{
    // Every value is position / range: a range of 0 would divide by zero.
    if (n < 1) return;
    range = n;
    if (n < defaultPosition) defaultPosition = 0;
}

void Knob::setDefault(int n)
{
    if (n >= minimum && n <= range) defaultPosition = n;
}

void Knob::setMinimum(int n)
{
    if (std::abs(n) < range) minimum = n;
}

void Knob::setPixelsPerRange(int pixels)
{
    if (pixels < 1) return;
    unitsPerPixel = double(range) / double(pixels);
}

void Knob::setIntegerFrames(bool on)
{
    integerFrames = on;
    showPosition();
}

void Knob::setShowText(bool on, bool whileDragging)
{
    showText = on;
    textWhileDragging = whileDragging;
    update();
}

QSize Knob::sizeHint() const
{
    return sourcePixmap.isNull() ? size() : sourcePixmap.deviceIndependentSize().toSize();
}

void Knob::setValue(float v)
{
    if (!std::isfinite(v) || v < 0.0f || v > 1.0f || v == value) return;
    position = double(float(range) * v);
    showPosition();
    changed = true;
    value = v;
}

void Knob::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        lastMouseY = event->position().toPoint().y();
        if (event->modifiers() == Qt::ControlModifier) resetToDefault();
    }
    emit beginEdit(tag);
}

void Knob::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int y = event->position().toPoint().y();
    const int dy = lastMouseY - y; // upwards is positive
    lastMouseY = y;
    dragBy(dy, event->modifiers() == Qt::ShiftModifier);
}

void Knob::mouseReleaseEvent(QMouseEvent*)
{
    dragging = false;
    if (textWhileDragging) update(); // takes the plate away
    emit endEdit(tag);
}

void Knob::resetToDefault()
{
    position = defaultPosition - minimum;
    showPosition();
    value = float(position / range);
    sendIfNew();
    dragging = true;
    update();
}

void Knob::dragBy(int dy, bool fine)
{
    const double units = dy * unitsPerPixel * (fine ? kFineDragFactor : 1.0);
    position = std::clamp(position + units, 0.0, double(range));
    showPosition();
    value = float(position / range);
    sendIfNew();
    dragging = true;
    update();
}

void Knob::showPosition()
{
    frame = integerFrames ? lastFrame * int(position) / range : int(lastFrame * position / range);
    valueText = QString::number(int(position) + minimum);
}

void Knob::sendIfNew()
{
    if (value != lastSentValue) emit valueChanged(tag, value);
    lastSentValue = value;
}

void Knob::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    if (stripPixmap) {
        // A strip drawn for a scaled view is mapped onto the screen by the painter's scale.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const int shownSide = int(frameSize / stripPixmap->devicePixelRatio());
        const QPoint target(width() / 2 - shownSide / 2, height() / 2 - shownSide / 2);
        const int offset = frame * frameSize;
        const QPoint source = isColumn(*stripPixmap) ? QPoint(0, offset) : QPoint(offset, 0);
        painter.drawPixmap(target, *stripPixmap, QRect(source, QSize(frameSize, frameSize)));
    }
    if (showText && !textWhileDragging) {
        painter.drawText(rect(), Qt::AlignCenter, valueText);
    } else if (showText && dragging) {
        painter.fillRect(QRect(2, 8, width() - 4, height() - 16), kPlateColour);
        painter.setPen(kPlateTextColour);
        painter.drawText(rect(), Qt::AlignCenter, valueText);
    }
    changed = false;
}

void Knob::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitStrip(event->size());
}

void Knob::fitStrip(QSize area)
{
    if (!stripPixmap) return;
    // The frames shrink to fit the widget but are never enlarged past the artwork. Sizes are in
    // the strip's pixels: a 2x strip fills a widget of 51 with frames of 102.
    const qreal ratio = sourcePixmap.devicePixelRatio();
    const int sourceSide = std::min(sourcePixmap.width(), sourcePixmap.height());
    const QSize pixels = area * ratio;
    const int side = std::min({pixels.width(), pixels.height(), sourceSide});
    if (side < 1) return; // an empty widget must not wipe the strip the other knobs share
    const int length = frameCount() * side;
    const QSize scaled = isColumn(sourcePixmap) ? QSize(side, length) : QSize(length, side);
    *stripPixmap = sourcePixmap.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    stripPixmap->setDevicePixelRatio(ratio);
    frameSize = side;
}
