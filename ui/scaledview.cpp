#include "scaledview.h"

#include <algorithm>

namespace {

// The darkest stop of the main background's gradient: the space beside a centred editor reads
// as more of its frame rather than as a hole.
const QColor kSurroundColour(40, 40, 40);

} // namespace

ScaledView::ScaledView(QWidget* parent) : QGraphicsView(parent)
{
    setScene(&scene);
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(0, 0, 0, 0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignCenter);
    setBackgroundBrush(kSurroundColour);
}

ScaledView::~ScaledView()
{
    setWidget(nullptr);
}

void ScaledView::setWidget(QWidget* widget)
{
    if (widget == this->widget()) return;
    // The proxy would delete a widget it still holds when it goes.
    if (QGraphicsProxyWidget* previous = widget ? widget->graphicsProxyWidget() : nullptr)
        previous->setWidget(nullptr);
    if (!proxy) proxy = scene.addWidget(nullptr);
    proxy->setWidget(widget);
    fitWidget();
}

QWidget* ScaledView::widget() const
{
    return proxy ? proxy->widget() : nullptr;
}

void ScaledView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    fitWidget();
}

// The view's own size, not its viewport's: a hidden view lays its viewport out only when shown,
// and without frame and scroll bars the two are the same.
void ScaledView::fitWidget()
{
    const QWidget* shown = widget();
    if (!shown || shown->width() < 1 || shown->height() < 1) return;
    const qreal scale = std::min(qreal(width()) / shown->width(), qreal(height()) / shown->height());
    if (scale <= 0.0) return;
    setSceneRect(QRectF(QPointF(0, 0), shown->size()));
    setTransform(QTransform::fromScale(scale, scale));
    if (scale == currentScale) return;
    currentScale = scale;
    emit scaleChanged(scale);
}
