// SIGINT and SIGTERM as something poll() can wait for: a handler that writes a byte into a
// pipe, then hands the signal on to the handler installed before it (the render tool's
// interrupt cleanup, which turns a second signal into an immediate exit that removes the
// temporary output file).
#pragma once

namespace pl3play {

class SignalPipe {
public:
    // Install pl3render::installInterruptCleanup() first. One instance per process.
    SignalPipe();
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // Readable once a signal has come.
    int descriptor() const { return readEnd_; }
    // Empties the pipe; true if a signal had come since the last call.
    bool takeSignal();

private:
    int readEnd_ = -1;
};

} // namespace pl3play
