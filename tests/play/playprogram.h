// Runs the pravolindel3-play program as a person or a test script would, in a scratch folder
// of the test's, and collects what it says.
#pragma once

#include "scratchfolder.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace playtest {

using namespace std::chrono_literals;

// Polls `condition` every 10 ms until it holds or `timeout` passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

using pl3test::linesOf;
using pl3test::ScratchFolder;

// One started program: its working folder is `folder`, its standard output and error go to
// files outside it, its standard input is /dev/null. `environment` entries NAME=VALUE replace
// or add to this process's environment.
class PlayProcess {
public:
    PlayProcess(const std::vector<std::string>& arguments, const std::string& folder,
                const std::vector<std::string>& environment = {});
    // A program still running is ended (SIGTERM, then SIGKILL) and waited for.
    ~PlayProcess();
    PlayProcess(const PlayProcess&) = delete;
    PlayProcess& operator=(const PlayProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::string out() const;
    std::string err() const;
    // The first line of standard output that starts with `prefix`, once it has been written.
    std::optional<std::string> waitForLine(const std::string& prefix,
                                           std::chrono::milliseconds timeout) const;
    void signal(int number) const;
    // The exit status (-1 after a signal), or nothing if it still runs after `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running();

private:
    ScratchFolder captures_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    double seconds = 0.0; // wall time from start to exit
    std::vector<std::string> outLines() const { return linesOf(out); }
    std::vector<std::string> errLines() const { return linesOf(err); }
};

// Runs the program to its end (at most 30 s).
ProgramRun runPlay(const std::vector<std::string>& arguments, const std::string& folder,
                   const std::vector<std::string>& environment = {});

// The tool's own lines on standard output (the plug-in prints there too).
std::vector<std::string> toolLines(const std::string& out);

} // namespace playtest
