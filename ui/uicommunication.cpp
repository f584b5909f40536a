#include "uicommunication.h"

#include "channel.h"
#include "embedding.h"
#include "mainwidget.h"
#include "privatefile.h"

#include <QCoreApplication>
#include <QtDebug>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kPollPeriodMs = 20;

void reportRefused(const char* line, const std::string& name, privatefile::Check check)
{
    qDebug("%s: %s %s", line, name.c_str(), privatefile::describe(check));
}

int openFifo(const std::string& path, const char* failureLine)
{
    const privatefile::Opened opened = privatefile::openFifo(path);
    if (opened.fd < 0) reportRefused(failureLine, path, opened.check);
    return opened.fd;
}

// A block shorter than the layout would fault on the first read past its end, so it is
// refused like a mapping that failed.
SharedBlock* mapSharedBlock(int fd)
{
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || status.st_size < off_t(sharedBlockSize))
        return nullptr;
    void* mapping = mmap(nullptr, sharedBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return mapping == MAP_FAILED ? nullptr : static_cast<SharedBlock*>(mapping);
}

} // namespace

UICommunication::UICommunication(int instanceNumber)
    : instanceNumber(instanceNumber), hostPid(getppid())
{
    openFifos();
    openSharedMemory();
    connect(&pollTimer, &QTimer::timeout, this, &UICommunication::processMessageFromPlugin);
    pollTimer.start(kPollPeriodMs);
}

UICommunication::~UICommunication()
{
    if (block) munmap(block, sharedBlockSize);
    for (const int fd : {sharedMemoryFd, pluginFifoFd, uiFifoFd})
        if (fd >= 0) close(fd);
}

void UICommunication::openFifos()
{
    // The plug-in's end may vanish at any time; a write must then fail, not kill the UI.
    std::signal(SIGPIPE, SIG_IGN);
    uiFifoPath = channel::uiFifoPath(instanceNumber);
    uiFifoFd = openFifo(uiFifoPath, "PravoLindel3UI > ERROR can't open UI FIFO");
    pluginFifoPath = channel::pluginFifoPath(instanceNumber);
    pluginFifoFd = openFifo(pluginFifoPath, "PravoLindel3UI > ERROR can't open Plugin FIFO");
    if (pluginFifoFd >= 0) fifoCapacity = std::max(0, fcntl(pluginFifoFd, F_GETPIPE_SZ));
    // One read of the whole capacity takes everything the plug-in wrote since the last tick.
    readBuffer.resize(size_t(fifoCapacity));
}

void UICommunication::openSharedMemory()
{
    const std::string name = sharedBlockName(instanceNumber);
    const privatefile::Opened opened = privatefile::openSharedMemory(name);
    sharedMemoryFd = opened.fd;
    if (sharedMemoryFd < 0)
        reportRefused("PravoLindel3UI > error can't open plugin shared memory", name, opened.check);
    block = mapSharedBlock(sharedMemoryFd);
    if (!block) qDebug("PravoLindel3UI > error can't allocate / read plugin shared memory ");
}

void UICommunication::setMainWidget(MainWidget* widget)
{
    mainWidget = widget;
}

bool UICommunication::sendParameter(int index, float value)
{
    if (uiFifoFd < 0) return false;
    const auto record = channel::encodeParameter(index, value);
    // One write keeps the record whole at the pipe; when the pipe is full it is lost.
    return write(uiFifoFd, record.data(), record.size()) == ssize_t(record.size());
}

SharedBlock* UICommunication::sharedBlock() const
{
    return block;
}

// The engine holds a lock on its shared memory object for its whole life, so a
// lock this process can take means the engine is gone, even when the host died
// before the UI got to look at its parent.
bool UICommunication::hostIsGone() const
{
    if (getppid() != hostPid) return true;
    return sharedMemoryFd >= 0 && flock(sharedMemoryFd, LOCK_EX | LOCK_NB) == 0;
}

void UICommunication::processMessageFromPlugin()
{
    if (hostIsGone()) {
        qDebug("PravoLindel3UI > host process is gone, quitting");
        pollTimer.stop();
        QCoreApplication::exit(0);
        return;
    }
    if (fifoCapacity <= 0) return;
    const ssize_t count = read(pluginFifoFd, readBuffer.data(), readBuffer.size());
    if (count <= 0) return;
    readPluginMessages(readBuffer.data(), size_t(count), *this);
}

void UICommunication::parameter(int32_t index, float value)
{
    if (mainWidget) mainWidget->setParameter(index, value);
}

void UICommunication::open(unsigned long windowId)
{
    embedIntoWindow(windowId);
    moveIntoEmbedContainer(mainWidget);
}

void UICommunication::terminate()
{
    qDebug("PravoLindel3UI > terminating QApplication ");
    pollTimer.stop();
    QCoreApplication::exit(0);
}

void UICommunication::unhandled()
{
    std::fputs("PravoLindel3UI > processMessageFromPlugin : unhandled opcode\n", stdout);
    std::fflush(stdout);
}
