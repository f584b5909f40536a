#include "signalpipe.h"

#include "rendererror.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pl3play {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

// The handler may only use what is async-signal-safe: these, write() and the chained handler.
volatile int pipeWriteEnd = -1;
struct sigaction chained[2];

int slotOf(int signal)
{
    return signal == SIGINT ? 0 : 1;
}

void onSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(pipeWriteEnd, &byte, 1);
    errno = savedErrno;
    const struct sigaction& next = chained[slotOf(signal)];
    if (!(next.sa_flags & SA_SIGINFO) && next.sa_handler != SIG_DFL && next.sa_handler != SIG_IGN)
        next.sa_handler(signal);
}

} // namespace

SignalPipe::SignalPipe()
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw pl3render::RenderError(std::string("cannot make a pipe for signals: ") +
                                     std::strerror(errno));
    readEnd_ = ends[0];
    pipeWriteEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : kSignals)
        sigaction(signal, &action, &chained[slotOf(signal)]);
}

SignalPipe::~SignalPipe()
{
    for (const int signal : kSignals)
        sigaction(signal, &chained[slotOf(signal)], nullptr);
    ::close(pipeWriteEnd);
    pipeWriteEnd = -1;
    ::close(readEnd_);
}

bool SignalPipe::takeSignal()
{
    bool came = false;
    char bytes[64];
    while (::read(readEnd_, bytes, sizeof bytes) > 0)
        came = true;
    return came;
}

} // namespace pl3play
