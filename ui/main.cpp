// The UI program. Started by the plug-in as: PravoLindel3UI <host window id> <instance number>.
// With both arguments it embeds itself into the host's editor window and talks to the
// plug-in; with only the window id it embeds without a channel; with neither it runs as an
// ordinary window on its own.

#include "embedding.h"
#include "mainwidget.h"
#include "pluginmessagereader.h"
#include "qtscaling.h"
#include "uicommunication.h"

#include <QApplication>
#include <QtDebug>

#include <memory>

namespace {

constexpr int kWindowIdArgument = 1;
constexpr int kInstanceArgument = 2;
constexpr int kMainWidth = 260;
constexpr int kMainHeight = 517;

// Deletes the embedding containers when main returns: after the main widget, declared later,
// has left them, and before the application object, declared earlier, goes.
struct EmbedContainersRelease {
    ~EmbedContainersRelease() { releaseEmbedContainers(); }
};

void embed(MainWidget& mainWidget, unsigned long windowId)
{
    // The plug-in, not a window, ends an embedded UI: the host may destroy its window at will.
    QApplication::setQuitOnLastWindowClosed(false);
    qDebug("PravoLindel3UI > trying to create embed X11 widget ");
    QWidget* container = embedIntoWindow(windowId);
    QApplication::setActiveWindow(container);
    moveIntoEmbedContainer(&mainWidget);
}

} // namespace

int main(int argc, char* argv[])
{
    switchOffQtScaling();
    QApplication application(argc, argv);
    const EmbedContainersRelease release;
    const QStringList arguments = QCoreApplication::arguments();

    std::unique_ptr<UICommunication> communication;
    if (arguments.size() > kInstanceArgument)
        // A text that is no number gives instance 0: toInt's answer on failure.
        communication = std::make_unique<UICommunication>(arguments[kInstanceArgument].toInt());

    MainWidget mainWidget(communication.get());
    mainWidget.setFixedSize(kMainWidth, kMainHeight);

    if (arguments.size() <= kWindowIdArgument) {
        mainWidget.show();
    } else {
        if (communication) communication->setMainWidget(&mainWidget);
        embed(mainWidget, parseWindowId(arguments[kWindowIdArgument].toStdString()));
    }
    return QApplication::exec();
}
