// The plug-in's end of the message channel: creating and opening the FIFOs,
// writing records to the UI and applying the UI's records.
#include "channel.h"
#include "morvessine3editor.h"
#include "privatefile.h"
#include "uimessagereader.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kLogPrefix = "PravoLindel3VST > ";

const char* creationFailureReason(int error)
{
    switch (error) {
    case ENOENT:
        return "A component of the path prefix specified by path does not name an existing "
               "directory or path is an empty string.";
    case EACCES:
        return "A component of the path prefix denies search permission, or write permission is "
               "denied on the parent directory of the FIFO to be created.";
    case EEXIST:
        return "The named file already exists.";
    case ENOTDIR:
        return "A component of the path prefix is not a directory.";
    case ENOSPC:
        return "The directory that would contain the new file cannot be extended or the file "
               "system is out of file-allocation resources.";
    case EROFS:
        return "The named file resides on a read-only file system.";
    case ENAMETOOLONG:
        return "The length of the path argument exceeds {PATH_MAX} or a pathname component is "
               "longer than {NAME_MAX}.";
    case ELOOP:
        return "A loop exists in symbolic links encountered during resolution of the path "
               "argument.";
    default:
        return nullptr;
    }
}

// Applies the UI's parameter records to the effect. Only what names one of the
// effect's parameters with a number reaches it, and through it the host, which
// would take any index as one of its own automation lanes.
class EffectApplier : public uimessages::Handler {
public:
    explicit EffectApplier(AudioEffectX& effect) : effect(effect) {}
    void parameter(int32_t index, float value) override
    {
        if (index >= 0 && index < effect.getAeffect()->numParams && std::isfinite(value))
            effect.setParameterAutomated(index, value);
    }
    void unhandled(uint8_t opcode) override
    {
        std::printf("%sprocessMessageFromUI : unhandled opcode %x\n", kLogPrefix,
                    int(static_cast<signed char>(opcode)));
        std::fflush(stdout);
    }

private:
    AudioEffectX& effect;
};

void copyPath(char (&buffer)[256], const std::string& path)
{
    std::fill(std::begin(buffer), std::end(buffer), '\0');
    path.copy(buffer, sizeof(buffer) - 1);
}
} // namespace

bool Morvessine3Editor::prepareFifo()
{
    signal(SIGPIPE, SIG_IGN);
    copyPath(uiFifoPath, channel::uiFifoPath(instanceNumber));
    copyPath(pluginFifoPath, channel::pluginFifoPath(instanceNumber));
    uiFifoFd = -1;
    pluginFifoFd = -1;
    fifoCapacity = 0;
    createFifo(uiFifoPath);
    createFifo(pluginFifoPath);
    return true;
}

bool Morvessine3Editor::createFifo(const char* path)
{
    if (mkfifo(path, 0600) == 0) return true;
    const int error = errno;
    std::printf("%s ERROR FIFO creation failed : \n", kLogPrefix);
    if (const char* reason = creationFailureReason(error)) std::printf("%s\n", reason);
    std::fflush(stdout);
    return error == EEXIST;
}

// A FIFO that exists but is not this user's private FIFO (a link planted in
// /tmp, another user's file, one open to others) is reported and not used.
bool Morvessine3Editor::openFifo(std::atomic<int>& fd, const char* path, const char* failure)
{
    if (fd >= 0) return false;
    const privatefile::Opened opened = privatefile::openFifo(path);
    if (opened.fd < 0) {
        if (opened.check == privatefile::Check::Missing ||
            opened.check == privatefile::Check::Failed)
            std::printf("%s%s\n", kLogPrefix, failure);
        else
            std::printf("%srefusing FIFO %s: it %s\n", kLogPrefix, path,
                        privatefile::describe(opened.check));
        std::fflush(stdout);
        return false;
    }
    fd = opened.fd;
    return true;
}

bool Morvessine3Editor::openUiFifo(const char* path)
{
    if (!openFifo(uiFifoFd, path, "ERROR opening FIFO for read")) return false;
    prepareReadBuffer();
    return true;
}

// One read takes all the UI FIFO holds, so a record is never split between two
// reads; the buffer is taken here, once, and the poll never allocates. Without
// it the poll reads nothing.
void Morvessine3Editor::prepareReadBuffer()
{
    const int capacity = fcntl(uiFifoFd, F_GETPIPE_SZ);
    if (capacity <= 0) return;
    readBuffer.reset(new (std::nothrow) uint8_t[size_t(capacity)]);
    if (readBuffer) fifoCapacity = capacity;
}

bool Morvessine3Editor::openPluginFifo(const char* path)
{
    return openFifo(pluginFifoFd, path, " ERROR opening FIFO for write");
}

void Morvessine3Editor::dispatcher(int32_t opcode, int32_t index, intptr_t, float opt, char*, void*)
{
    const int fd = pluginFifoFd;
    if (opcode == channel::kParameter) {
        writeParameterRecord(index, opt);
    } else if (opcode == channel::kOpcode5 && fd >= 0) {
        const uint8_t record = channel::kOpcode5;
        [[maybe_unused]] const ssize_t ignored = write(fd, &record, 1);
    }
}

// False only when the pipe is full: the record may fit later. Any other failure
// (no FIFO, a broken one) would fail again and counts as done.
bool Morvessine3Editor::writeParameterRecord(int32_t index, float value)
{
    const int fd = pluginFifoFd;
    if (fd < 0) return true;
    const auto record = channel::encodeParameter(index, value);
    return write(fd, record.data(), record.size()) >= 0 || errno != EAGAIN;
}

void Morvessine3Editor::sendParameterChanges()
{
    echoes.drain([this](int32_t index, float value) { return writeParameterRecord(index, value); });
}

void Morvessine3Editor::processMessageFromUI()
{
    const int fd = uiFifoFd;
    if (fifoCapacity <= 0 || fd < 0) return;
    const ssize_t count = read(fd, readBuffer.get(), size_t(fifoCapacity));
    if (count <= 0) return;
    EffectApplier applier(*effectX);
    uimessages::walk(readBuffer.get(), size_t(count), applier);
}
