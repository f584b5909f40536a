#include "button.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QToolTip>

#include <cmath>

namespace {

const QColor kOffTextColour(0, 80, 0);
const QColor kOnTextColour(180, 180, 180);
// The engine switches on from 0.5; the button shows what the engine does.
constexpr float kOnThreshold = 0.5f;

size_t faceIndex(Button::Face face)
{
    return static_cast<size_t>(face);
}

} // namespace

Button::Button(QWidget* parent, int tag) : Control(parent)
{
    this->tag = tag;
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void Button::setNormalPixmap(const QPixmap& pixmap)
{
    setImage(Face::Normal, pixmap);
    if (!pixmap.isNull()) currentFace = Face::Normal;
}

void Button::setPressedPixmap(const QPixmap& pixmap)
{
    setImage(Face::Pressed, pixmap);
}

void Button::setActivePixmap(const QPixmap& pixmap)
{
    setImage(Face::Active, pixmap);
}

void Button::setHoverPixmap(const QPixmap& pixmap)
{
    setImage(Face::Hover, pixmap);
}

void Button::setDisabledPixmap(const QPixmap& pixmap)
{
    setImage(Face::Disabled, pixmap);
}

void Button::replaceImage(Face face, const QPixmap& pixmap)
{
    setImage(face, pixmap);
}

QPixmap Button::workingCopy(Face face) const
{
    return workingCopies[faceIndex(face)];
}

void Button::setText(const QString& caption)
{
    text = caption;
    update();
}

void Button::setStateTexts(const QString& whenOff, const QString& whenOn)
{
    offText = whenOff;
    onText = whenOn;
    update();
}

QSize Button::sizeHint() const
{
    return hasImage(Face::Normal)
               ? workingCopies[faceIndex(Face::Normal)].deviceIndependentSize().toSize()
               : QSize(32, 32);
}

void Button::setValue(float v)
{
    if (!std::isfinite(v)) return;
    if (!checkable) {
        currentFace = v < kOnThreshold ? Face::Normal : Face::Pressed;
        changed = true;
        return;
    }
    if (locked) return;
    toggledOn = v != 0.0f;
    currentFace = toggledOn ? onFace() : Face::Normal;
    emit toggled(toggledOn);
    changed = true;
}

void Button::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    event->accept(); // the base ignores presses; this one is handled here
    if (rightLatched) {
        unlatch();
        return;
    }
    switch (event->button()) {
    case Qt::LeftButton:
        if (locked) return;
        currentFace = Face::Pressed;
        if (!checkable) emit valueChanged(tag, 1.0f);
        break;
    case Qt::RightButton:
        currentFace = Face::Pressed;
        emit valueChanged(tag, 1.0f);
        rightLatched = true;
        break;
    default:
        break;
    }
    emit beginEdit(tag);
    update();
}

void Button::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    event->accept();
    // Where the pointer is does not matter: releasing outside counts like releasing over it.
    if (rightLatched || locked) return;
    if (checkable) {
        releaseToggle();
        return;
    }
    currentFace = Face::Normal;
    emit valueChanged(tag, 0.0f);
    emit endEdit(tag);
    update();
}

void Button::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (!toolTipText.isEmpty()) QToolTip::showText(QCursor::pos(), toolTipText);
    if (hovers() && !toggledOn) {
        currentFace = Face::Hover;
        update();
    }
}

void Button::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (!toolTipText.isEmpty()) QToolTip::showText(QPoint(0, 0), QString());
    if (hovers() && currentFace == Face::Hover) {
        currentFace = toggledOn ? onFace() : Face::Normal;
        update();
    }
}

void Button::paintEvent(QPaintEvent*)
{
    if (!isEnabled() && hasImage(Face::Disabled)) currentFace = Face::Disabled;
    changed = false;
    if (currentFace == Face::None || !hasImage(currentFace)) return;

    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    // An image drawn for a scaled view is mapped onto the screen by the painter's scale.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), workingCopies[faceIndex(currentFace)]);

    if (text.isEmpty()) return;
    painter.setPen(toggledOn ? kOnTextColour : kOffTextColour);
    if (!onText.isEmpty()) text = toggledOn ? onText : offText;
    painter.drawText(rect(), Qt::AlignCenter, text);
}

void Button::resizeEvent(QResizeEvent* event)
{
    for (const Face face : {Face::Pressed, Face::Normal, Face::Disabled, Face::Hover, Face::Active})
        if (hasImage(face)) workingCopies[faceIndex(face)] = fittedCopy(face, event->size());
}

QPixmap Button::image(Face face) const
{
    return images[faceIndex(face)];
}

void Button::setImage(Face face, const QPixmap& pixmap)
{
    if (pixmap.isNull()) return;
    images[faceIndex(face)] = pixmap;
    // A widget that has no size yet fits its images when it gets one.
    workingCopies[faceIndex(face)] =
        testAttribute(Qt::WA_PendingResizeEvent) ? pixmap : fittedCopy(face, size());
    update();
}

bool Button::hasImage(Face face) const
{
    return !images[faceIndex(face)].isNull();
}

QPixmap Button::fittedCopy(Face face, QSize area) const
{
    const QPixmap& image = images[faceIndex(face)];
    const qreal ratio = image.devicePixelRatio();
    QPixmap copy = image.scaled(area * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    copy.setDevicePixelRatio(ratio);
    return copy;
}

Button::Face Button::onFace() const
{
    return hasImage(Face::Active) ? Face::Active : Face::Pressed;
}

bool Button::hovers() const
{
    return !locked && isEnabled() && hasImage(Face::Hover);
}

void Button::unlatch()
{
    rightLatched = false;
    currentFace = Face::Normal;
    emit valueChanged(tag, 0.0f);
}

void Button::releaseToggle()
{
    toggledOn = !toggledOn;
    currentFace = toggledOn ? onFace() : Face::Normal;
    emit toggled(toggledOn);
    emit valueChanged(tag, toggledOn ? 1.0f : 0.0f);
    emit endEdit(tag);
    update();
}
