#include "uiprocess.h"

#include "spawnarguments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

UiProcess::UiProcess(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& extraEnvironment)
{
    std::string pattern = std::filesystem::temp_directory_path() / "pl3uiprocess.XXXXXX";
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "no temporary directory";
        return;
    }
    directory = pattern;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (directory + "/out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (directory + "/err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The program's own name, as the plug-in gives it, then the arguments.
    std::vector<std::string> argv{"PravoLindel3UI"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = pl3test::environmentWith(extraEnvironment);
    const int result =
        posix_spawn(&child, PL3_UI_PATH, &actions, nullptr, pl3test::pointersTo(argv).data(),
                    pl3test::pointersTo(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        child = -1;
        ADD_FAILURE() << "cannot start " << PL3_UI_PATH << ": " << result;
    }
}

UiProcess::~UiProcess()
{
    if (child > 0 && !status) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    if (!directory.empty()) std::filesystem::remove_all(directory);
}

std::optional<int> UiProcess::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (child > 0 && !status) {
        int waitStatus = 0;
        if (waitpid(child, &waitStatus, WNOHANG) == child)
            status = waitStatus;
        else if (std::chrono::steady_clock::now() >= deadline)
            break;
        else
            std::this_thread::sleep_for(10ms);
    }
    return status;
}

bool UiProcess::waitForErrorLine(const std::string& line, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // Whether it has ended is asked first, so that its last lines are read after it.
        const bool ended = waitForExit(0ms).has_value();
        const auto lines = errorLines();
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
        if (ended || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

std::string UiProcess::standardOutput() const
{
    return readWholeFile(directory + "/out");
}

std::string UiProcess::standardError() const
{
    return readWholeFile(directory + "/err");
}

std::vector<std::string> UiProcess::errorLines() const
{
    return linesOf(standardError());
}

std::vector<std::string> openFilesOf(pid_t pid)
{
    std::vector<std::string> files;
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error))
        files.push_back(std::filesystem::read_symlink(entry.path(), error).string());
    return files;
}
