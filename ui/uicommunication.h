// The UI's end of the plug-in/UI channel: reads the plugin FIFO every 20 ms and applies its
// records to the main widget, writes the UI's parameter records into the UI FIFO, and maps the
// shared block that the plug-in publishes. Also ends the process when the host that started
// it is gone. GUI thread only.
#pragma once

#include "pluginmessagereader.h"
#include "sharedblock.h"

#include <QObject>
#include <QTimer>

#include <string>
#include <sys/types.h>
#include <vector>

class MainWidget;

class UICommunication : public QObject, private PluginMessageHandler {
    Q_OBJECT

public:
    // Opens both FIFOs and the shared block of instance instanceNumber (reporting and
    // surviving every failure) and starts the poll. The UI never creates any of them.
    explicit UICommunication(int instanceNumber);
    ~UICommunication() override;

    UICommunication(const UICommunication&) = delete;
    UICommunication& operator=(const UICommunication&) = delete;

    // The widget that incoming records update; null until set.
    void setMainWidget(MainWidget* widget);
    // Writes one parameter record into the UI FIFO; does nothing when it is not open, and a
    // record that does not fit into a full pipe is lost. True when the record went in whole.
    bool sendParameter(int index, float value);
    // The plug-in's block, or null when it could not be mapped. Never written by the channel.
    SharedBlock* sharedBlock() const;

public slots:
    // The poll: one read of the plugin FIFO, every record of it applied in order.
    void processMessageFromPlugin();

private:
    void openFifos();
    void openSharedMemory();
    bool hostIsGone() const;

    void parameter(int32_t index, float value) override;
    void open(unsigned long windowId) override;
    void terminate() override;
    void unhandled() override;

    MainWidget* mainWidget = nullptr;
    std::string uiFifoPath;
    int uiFifoFd = -1;
    std::string pluginFifoPath;
    int pluginFifoFd = -1;
    int fifoCapacity = 0;
    SharedBlock* block = nullptr;
    int sharedMemoryFd = -1;
    int instanceNumber;
    // The host process, which started the UI: once the UI's parent is another process, the
    // host has died and nobody will ever send a terminate record.
    pid_t hostPid;
    std::vector<uint8_t> readBuffer;
    QTimer pollTimer;
};
