#include "paintcounter.h"

#include <QEvent>
#include <QWidget>

void PaintCounter::watch(QWidget* widget)
{
    widget->installEventFilter(this);
}

int PaintCounter::count(const QWidget* widget) const
{
    const auto found = counts.find(widget);
    return found == counts.end() ? 0 : found->second;
}

bool PaintCounter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint) ++counts[watched];
    return false;
}
