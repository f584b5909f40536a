// pravolindel3-render: an offline host for a VST 2.4 plug-in. See helptext.cpp.
#include "commandline.h"
#include "helptext.h"
#include "interruptcleanup.h"
#include "rendererror.h"
#include "rendertool.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr int kRenderFailed = 1;
constexpr int kBadCommandLine = 2;

// Every failure is one line, whatever the text it came with.
void reportError(const char* what)
{
    std::string line = what;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(stderr, "pravolindel3-render: %s\n", line.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    pl3render::installInterruptCleanup();
    try {
        const pl3render::CommandLine commandLine =
            pl3render::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (commandLine.help) {
            std::fputs(pl3render::helpText(), stdout);
            return 0;
        }
        pl3render::runRenderTool(commandLine, stdout, stderr);
        return 0;
    } catch (const pl3render::Interrupted& error) {
        reportError(error.what());
        return pl3render::kInterruptedExit;
    } catch (const pl3render::UsageError& error) {
        reportError(error.what());
        return kBadCommandLine;
    } catch (const std::exception& error) {
        reportError(error.what());
        return kRenderFailed;
    }
}
