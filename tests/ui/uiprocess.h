// The built UI program run as a child of the test, its output kept in files.
#pragma once

#include "scratchfolder.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class UiProcess {
public:
    // Starts the program with these arguments after its name; environment entries
    // "NAME=value" in extraEnvironment replace or add to the test's own.
    explicit UiProcess(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& extraEnvironment = {});
    // Kills the program if it still runs.
    ~UiProcess();
    UiProcess(const UiProcess&) = delete;
    UiProcess& operator=(const UiProcess&) = delete;

    pid_t pid() const { return child; }
    // The wait status once the program has ended within timeout; empty if it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // Waits until the debug output (standard error) holds line; false on timeout or exit.
    bool waitForErrorLine(const std::string& line, std::chrono::milliseconds timeout);
    std::string standardOutput() const;
    std::string standardError() const;
    std::vector<std::string> errorLines() const;

private:
    pid_t child = -1;
    std::optional<int> status;
    std::string directory;
};

using pl3test::linesOf;
using pl3test::readWholeFile;
// The paths that a process's open descriptors lead to.
std::vector<std::string> openFilesOf(pid_t pid);
