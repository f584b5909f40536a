// What SIGINT and SIGTERM leave behind: nothing. The first signal asks the
// render to stop: it does so at its next check (between blocks, between file
// chunks) by throwing Interrupted, so the plug-in is closed as a host would
// close it and the temporary output file is removed on the way out; the tool
// then exits with 130. A second signal does not wait: it removes the
// registered file and exits at once.
#pragma once

#include "rendererror.h"

#include <csignal>

namespace pl3render {

constexpr int kInterruptedExit = 130;

class Interrupted : public RenderError {
public:
    Interrupted() : RenderError("interrupted") {}
};

void installInterruptCleanup();
// Throws Interrupted once a signal has come.
void stopIfInterrupted();

// One path at a time; registering replaces the previous one. The text is
// copied, so the caller's string may go away.
void registerFileToRemove(const char* path);
void unregisterFileToRemove();

// Holds SIGINT and SIGTERM back while it lives (they arrive when it ends), for
// steps that must not be cut in two, like creating a file and registering it.
class DeferredInterrupts {
public:
    DeferredInterrupts();
    ~DeferredInterrupts();
    DeferredInterrupts(const DeferredInterrupts&) = delete;
    DeferredInterrupts& operator=(const DeferredInterrupts&) = delete;

private:
    sigset_t previous_;
};

} // namespace pl3render
