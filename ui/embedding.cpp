#include "embedding.h"

#include "hostwindowsize.h"
#include "mainwidget.h"
#include "scaledview.h"

#include <QWindow>

#include <memory>
#include <vector>

namespace {

// The editor's own size, for a host window whose size cannot be known.
constexpr int kContainerWidth = 260;
constexpr int kContainerHeight = 517;

// A container, the wrapper of the host window it lives in and the watch on that window's size.
// The wrapper is the parent of the container's window and would take that window with it, so
// it is declared first and destroyed last.
struct Embedding {
    std::unique_ptr<QWindow> hostWindow;
    std::unique_ptr<HostWindowSize> hostSize;
    std::unique_ptr<ScaledView> container;
};

std::unique_ptr<Embedding> current;
// Containers replaced by a newer one that may still hold the main widget.
std::vector<std::unique_ptr<Embedding>> replaced;

std::unique_ptr<QWindow> wrapHostWindow(unsigned long windowId)
{
    if (windowId == 0) return nullptr;
    return std::unique_ptr<QWindow>(QWindow::fromWinId(WId(windowId)));
}

// The container fills the host's window, and follows it when the host resizes it.
void followHostWindow(Embedding& embedding, unsigned long windowId)
{
    ScaledView* container = embedding.container.get();
    embedding.hostSize = std::make_unique<HostWindowSize>(windowId);
    const QSize size = embedding.hostSize->size();
    container->setFixedSize(size.isValid() ? size : QSize(kContainerWidth, kContainerHeight));
    QObject::connect(embedding.hostSize.get(), &HostWindowSize::resized, container,
                     [container](QSize resized) { container->setFixedSize(resized); });
}

} // namespace

QWidget* embedIntoWindow(unsigned long windowId)
{
    auto embedding = std::make_unique<Embedding>();
    embedding->container = std::make_unique<ScaledView>();
    ScaledView* container = embedding->container.get();
    followHostWindow(*embedding, windowId);
    container->winId(); // makes the container native, so that it has a window to re-parent
    embedding->hostWindow = wrapHostWindow(windowId);
    if (embedding->hostWindow) container->windowHandle()->setParent(embedding->hostWindow.get());
    if (current) replaced.push_back(std::move(current));
    current = std::move(embedding);
    return container;
}

QWidget* embedContainer()
{
    return current ? current->container.get() : nullptr;
}

QWidget* embeddedWidget()
{
    return current ? current->container->widget() : nullptr;
}

void moveIntoEmbedContainer(MainWidget* widget)
{
    if (!current) return;
    ScaledView* container = current->container.get();
    if (widget) {
        QObject::connect(container, &ScaledView::scaleChanged, widget,
                         &MainWidget::setDrawingScale);
        container->setWidget(widget);
        widget->setDrawingScale(container->scale());
        widget->show();
    }
    container->show();
    replaced.clear();
}

void releaseEmbedContainers()
{
    replaced.clear();
    current.reset();
}
