// Editor lifecycle and the UI process: writing the executable, starting it,
// re-targeting it on later opens, and telling it to end.
#include "morvessine3editor.h"

#include "channel.h"
#include "uienvironment.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// The UI program, assembled into the plug-in's read-only data at build time.
extern "C" {
extern const unsigned char uifile[] __attribute__((visibility("hidden")));
extern const uint32_t uifile_size __attribute__((visibility("hidden")));
}

namespace {
constexpr const char* kLogPrefix = "PravoLindel3VST > ";

void say(const char* text)
{
    std::printf("%s%s\n", kLogPrefix, text);
    std::fflush(stdout);
}

void processFifoMessageCallback(void* editor)
{
    static_cast<Morvessine3Editor*>(editor)->poll();
}

bool writeAll(int fd, const unsigned char* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= size_t(written);
    }
    return true;
}
} // namespace

Morvessine3Editor::Morvessine3Editor(AudioEffect* effect, int32_t instanceNumber)
    : AEffEditor(effect), effectX(static_cast<AudioEffectX*>(effect)),
      instanceNumber(instanceNumber)
{
    effect->setEditor(this);
    copyUIExecutable();
    prepareFifo();
    pollTimer = std::make_unique<Timer>();
    pollTimer->userData = this;
    pollTimer->callbackFunction = processFifoMessageCallback;
}

Morvessine3Editor::~Morvessine3Editor()
{
    stopPolling();
    const int uiFd = uiFifoFd.exchange(-1);
    if (uiFd >= 0) ::close(uiFd);
    removeFifo(uiFifoPath);
    const int pluginFd = pluginFifoFd.exchange(-1);
    if (pluginFd >= 0) {
        const auto record = channel::encodeTerminate();
        [[maybe_unused]] const ssize_t ignored = write(pluginFd, record.data(), record.size());
    }
    endUIProcess();
    removeFifo(pluginFifoPath);
    if (pluginFd >= 0) ::close(pluginFd);
    removeExecutable();
}

// Every engine writes the program anew, and a host scans dozens of them at every start: left
// behind, each would keep its megabytes in /tmp for good. A file someone else has put at the
// path since is not ours to remove.
void Morvessine3Editor::removeExecutable()
{
    struct stat now {};
    if (wroteExecutable && stat(uiExecutablePath.c_str(), &now) == 0 &&
        now.st_dev == executableStatus.st_dev && now.st_ino == executableStatus.st_ino)
        unlink(uiExecutablePath.c_str());
}

namespace {
using Clock = std::chrono::steady_clock;
// What a UI killed at the end of the wait is given to be reaped.
constexpr auto kKilledWait = std::chrono::milliseconds(50);
constexpr auto kReapPoll = std::chrono::milliseconds(1);

// Reaps the child if it has ended; true once it is gone, also when the host
// reaps its children itself (SIGCHLD ignored, or a handler of its own).
bool reaped(pid_t pid)
{
    pid_t answer;
    do
        answer = waitpid(pid, nullptr, WNOHANG);
    while (answer < 0 && errno == EINTR);
    return answer == pid || (answer < 0 && errno == ECHILD);
}

// Looks every millisecond: the UI ends within a few of reading the terminate
// record, and the wait is no longer than its end.
bool reapedWithin(pid_t pid, Clock::duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!reaped(pid)) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kReapPoll);
    }
    return true;
}
} // namespace

// Poll thread, or the host thread while the poll is stopped. A UI that ended
// on its own (closed, crashed, killed) is reaped as soon as it is seen.
void Morvessine3Editor::reapEndedUI()
{
    // Relaxed: the poll's start and stop order every access, this only keeps
    // the field itself race-free.
    const pid_t pid = uiPid.load(std::memory_order_relaxed);
    if (pid > 0 && reaped(pid)) uiPid.store(-1, std::memory_order_relaxed);
}

// Host thread, at destruction, with the poll stopped. A UI started just before
// the effect goes may not have opened its FIFOs yet; the plugin FIFO stays until
// it has read the terminate record and ended. One that does not end in time
// would never hear from this editor again and is killed; either way it is
// reaped, or it would stay a zombie until the host exits.
void Morvessine3Editor::endUIProcess()
{
    const pid_t pid = uiPid.exchange(-1, std::memory_order_relaxed); // relaxed: as in reapEndedUI
    if (pid <= 0) return;
    const auto wait = std::chrono::milliseconds(kTerminateWaitMilliseconds);
    if (reapedWithin(pid, wait - kKilledWait)) return;
    kill(pid, SIGKILL);
    reapedWithin(pid, kKilledWait);
}

void Morvessine3Editor::removeFifo(const char* path)
{
    if (path[0] != '\0') unlink(path);
}

bool Morvessine3Editor::getRect(ERect** rect)
{
    if (!rect) return false;
    if (!scaleSettled) settleScale();
    *rect = &rectangle;
    return true;
}

void Morvessine3Editor::settleScale()
{
    const editorscale::Sources sources{std::getenv(editorscale::kEnvironmentName), hostScale,
                                       editorscale::xftDpiOfDisplay};
    const editorscale::Choice choice = editorscale::choose(sources);
    const bool hostScales = hostScalesEditors();
    rectangle = editorscale::rectangleFor(choice.scale, hostScales);
    scaleSettled = true;
    const std::string line =
        editorscale::describe(choice) + (hostScales ? ", which the host applies itself" : "");
    if (line != lastScaleLine) say(line.c_str());
    lastScaleLine = line;
}

bool Morvessine3Editor::hostScalesEditors()
{
    if (!hostScalesItself) {
        // Room beyond the interface's 64 bytes, for a host that writes more.
        std::array<char, 256> product{};
        effectX->getHostProductString(product.data());
        product.back() = '\0';
        hostScalesItself = editorscale::hostScalesEditors(product.data());
    }
    return *hostScalesItself;
}

void Morvessine3Editor::setHostScale(float factor)
{
    hostScale = factor;
    // Relaxed: as in open; both run on the host UI thread.
    if (!editorOpen.load(std::memory_order_relaxed)) {
        scaleSettled = false;
        return;
    }
    const ERect before = rectangle;
    settleScale();
    if (rectangle.right != before.right || rectangle.bottom != before.bottom)
        resize(rectangle.right, rectangle.bottom);
}

// An editor without its poll would neither hear the UI nor show it anything:
// the host hears of it before a UI is started or told.
bool Morvessine3Editor::open(void* window)
{
    if (!pollTimer->prepare()) {
        say("editor open failed: no thread for the message poll");
        return false;
    }
    AEffEditor::open(window);
    if (!scaleSettled) settleScale();
    // Changes left over from the last close are as stale as those made since,
    // which the UI never hears of either.
    echoes.discard();
    openUI(window);
    // Relaxed: only gates the hand-over; a change racing with the open is sent
    // or not, as it would be a moment earlier or later.
    editorOpen.store(true, std::memory_order_relaxed);
    return true;
}

// The changes handed over before the poll stopped still go out, from here.
void Morvessine3Editor::close()
{
    scaleSettled = false;
    if (!editorOpen.load(std::memory_order_relaxed)) return; // relaxed: as in open
    editorOpen.store(false, std::memory_order_relaxed);
    pollTimer->stop();
    sendParameterChanges();
    reapEndedUI();
}

void Morvessine3Editor::stopPolling()
{
    pollTimer->stop();
}

// The UI's own records are applied first: their echoes, handed over by the
// effect meanwhile, go back in the same tick.
void Morvessine3Editor::poll()
{
    processMessageFromUI();
    sendParameterChanges();
    reapEndedUI();
}

void Morvessine3Editor::setParameter(int32_t index, float value)
{
    // Relaxed: as in open.
    if (editorOpen.load(std::memory_order_relaxed)) echoes.post(index, value);
}

bool Morvessine3Editor::resize(int32_t width, int32_t height)
{
    return effectX->sizeWindow(width < 200 ? 200 : width, height < 150 ? 150 : height);
}

// Written under a fresh name that nobody else can have prepared (exclusive
// creation, never through a link), then renamed onto the fixed path, which also
// replaces a file that an older UI process still runs from. Where the fixed
// path cannot be taken over, the UI runs from the fresh file.
bool Morvessine3Editor::copyUIExecutable()
{
    const std::string target = channel::uiExecutablePath(instanceNumber);
    std::string fresh = target + ".XXXXXX";
    const int fd = mkostemp(fresh.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = writeAll(fd, uifile, uifile_size) && fchmod(fd, 0700) == 0 &&
                         fstat(fd, &executableStatus) == 0;
    ::close(fd);
    if (!written) {
        unlink(fresh.c_str());
        return false;
    }
    uiExecutablePath = rename(fresh.c_str(), target.c_str()) == 0 ? target : fresh;
    wroteExecutable = true;
    return true;
}

void Morvessine3Editor::openUI(void* window)
{
    const std::string windowText = std::to_string(reinterpret_cast<uintptr_t>(window));
    if (firstOpen) {
        startUIProcess(windowText);
        openUiFifo(uiFifoPath);
        openPluginFifo(pluginFifoPath);
        firstOpen = false;
    } else if (pluginFifoFd < 0) {
        say("open : plugin fifo handle is not valid");
    } else {
        sendOpenMessage(windowText);
    }
    pollTimer->start(kPollMilliseconds);
}

// posix_spawn runs nothing of the host's between fork and exec, and the child
// gets no descriptor of the host but its standard input, output and error. Its
// environment is the host's with Qt's scaling off (uienvironment.h).
bool Morvessine3Editor::startUIProcess(const std::string& windowText)
{
    say("starting child process !");
    if (!wroteExecutable) {
        say("error : child process can't start ");
        return false;
    }
    const std::string instanceText = channel::instanceText(instanceNumber);
    char program[] = "PravoLindel3UI";
    char* arguments[] = {program, const_cast<char*>(windowText.c_str()),
                         const_cast<char*>(instanceText.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    const UiEnvironment environment(environ);
    pid_t started = -1;
    const int error = posix_spawn(&started, uiExecutablePath.c_str(), &actions, nullptr, arguments,
                                  environment.entries());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        say("error : child process can't start ");
        return false;
    }
    // Relaxed: the poll that may reap it starts after this.
    uiPid.store(started, std::memory_order_relaxed);
    return true;
}

void Morvessine3Editor::sendOpenMessage(const std::string& windowText)
{
    std::array<uint8_t, channel::kMaxOpenSize> record{};
    const size_t size = channel::encodeOpen(windowText, record);
    if (size == 0 || write(pluginFifoFd, record.data(), size) == -1) {
        std::printf("%sopen message FAILED to write to plugin FIFO  err= %d\n", kLogPrefix, errno);
        std::fflush(stdout);
    }
}
