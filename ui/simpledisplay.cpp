#include "simpledisplay.h"

#include <QPainter>
#include <QStyleOption>

SimpleDisplay::SimpleDisplay(QWidget* parent) : QWidget(parent) {}

void SimpleDisplay::setText(const QString& newText)
{
    text = newText;
    changed = true;
}

// The text colour is the painter's default pen, so it follows the style sheet.
void SimpleDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text);
}
