// pravolindel3-play: plays the looper live. See playhelp.cpp.
#include "interruptcleanup.h"
#include "playhelp.h"
#include "playoptions.h"
#include "playsession.h"
#include "rendererror.h"
#include "signalpipe.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;

// Every failure is one line, whatever the text it came with.
void reportError(const char* what)
{
    std::string line = what;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(stderr, "pravolindel3-play: %s\n", line.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // First the cleanup a second signal runs, then the pipe that wakes the main loop.
    pl3render::installInterruptCleanup();
    try {
        pl3play::SignalPipe signals;
        const pl3play::PlayOptions options =
            pl3play::parsePlayOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::fputs(pl3play::playHelpText().c_str(), stdout);
            return 0;
        }
        pl3play::PlaySession session(options, signals, stdout, stderr);
        session.run();
        return 0;
    } catch (const pl3render::Interrupted& error) {
        reportError(error.what());
        return pl3render::kInterruptedExit;
    } catch (const pl3render::UsageError& error) {
        reportError(error.what());
        return kBadCommandLine;
    } catch (const std::exception& error) {
        reportError(error.what());
        return kFailed;
    }
}
