// Shows one widget of fixed size drawn at the scale that fills the view, keeping its
// proportions: the editor's layout at the size of whatever window the host gives it, followed
// through later resizes. The widget lives in a graphics scene behind a proxy, which maps the
// view's input back into the widget's own coordinates; where the proportions differ, the widget
// is centred on the darkest tone of its own background. GUI thread only.
#pragma once

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointer>


class ScaledView : public QGraphicsView {
    Q_OBJECT

public:
    explicit ScaledView(QWidget* parent = nullptr);
    // Gives the widget back unharmed: the view never owns what it shows.
    ~ScaledView() override;

    ScaledView(const ScaledView&) = delete;
    ScaledView& operator=(const ScaledView&) = delete;

    // Shows widget, a parentless widget, in place of the one shown (null: none). A widget
    // shown by another view leaves that view first. The widget it replaces is given back as a
    // parentless widget.
    void setWidget(QWidget* widget);
    QWidget* widget() const;
    // How large the widget is drawn; 1 until there is a widget.
    qreal scale() const { return currentScale; }

signals:
    void scaleChanged(qreal scale);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitWidget();

    QGraphicsScene scene;
    // Qt deletes a proxy whose widget is destroyed under it: a new one is made when needed.
    QPointer<QGraphicsProxyWidget> proxy;
    qreal currentScale = 1.0;
};
