#include "embedding.h"

#include <QWidget>
#include <QWindow>

#include <memory>
#include <vector>

namespace {

constexpr int kContainerWidth = 260;
constexpr int kContainerHeight = 517;

// A container and the wrapper of the host window it lives in. The wrapper is the parent of
// the container's window and would take that window with it, so it is declared first and
// destroyed last.
struct Embedding {
    std::unique_ptr<QWindow> hostWindow;
    std::unique_ptr<QWidget> container;
};

std::unique_ptr<Embedding> current;
// Containers replaced by a newer one that may still hold the main widget.
std::vector<std::unique_ptr<Embedding>> replaced;

std::unique_ptr<QWindow> wrapHostWindow(unsigned long windowId)
{
    if (windowId == 0) return nullptr;
    return std::unique_ptr<QWindow>(QWindow::fromWinId(WId(windowId)));
}

} // namespace

QWidget* embedIntoWindow(unsigned long windowId)
{
    auto embedding = std::make_unique<Embedding>();
    embedding->container = std::make_unique<QWidget>();
    QWidget* container = embedding->container.get();
    container->setFixedSize(kContainerWidth, kContainerHeight);
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

void moveIntoEmbedContainer(QWidget* widget)
{
    QWidget* container = embedContainer();
    if (!container) return;
    if (widget) {
        widget->setParent(container);
        widget->move(0, 0);
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
