#include "playprogram.h"

#include "spawnarguments.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace playtest {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::vector<std::string> toolLines(const std::string& out)
{
    return pl3test::linesStartingWith(out, "pravolindel3-play: ");
}

PlayProcess::PlayProcess(const std::vector<std::string>& arguments, const std::string& folder,
                         const std::vector<std::string>& environment)
{
    std::vector<std::string> argv{PL3_PLAY_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env = pl3test::environmentWith(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, captures_.file("out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, captures_.file("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    auto argp = pl3test::pointersTo(argv);
    auto envp = pl3test::pointersTo(env);
    const int failed =
        posix_spawn(&pid_, PL3_PLAY_PATH, &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + std::string(PL3_PLAY_PATH));
}

PlayProcess::~PlayProcess()
{
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    if (waitForExit(5s)) return;
    ::kill(pid_, SIGKILL);
    waitForExit(5s);
}

std::string PlayProcess::out() const
{
    return captures_.readText("out");
}

std::string PlayProcess::err() const
{
    return captures_.readText("err");
}

std::optional<std::string> PlayProcess::waitForLine(const std::string& prefix,
                                                    std::chrono::milliseconds timeout) const
{
    std::optional<std::string> found;
    waitFor(
        [&] {
            // Only whole lines: the text up to the last newline.
            const std::string text = out();
            for (const std::string& line : linesOf(text.substr(0, text.rfind('\n') + 1)))
                if (line.rfind(prefix, 0) == 0) {
                    found = line;
                    return true;
                }
            return false;
        },
        timeout);
    return found;
}

void PlayProcess::signal(int number) const
{
    ::kill(pid_, number);
}

std::optional<int> PlayProcess::waitForExit(std::chrono::milliseconds timeout)
{
    waitFor([&] { return !running(); }, timeout);
    return status_;
}

bool PlayProcess::running()
{
    if (status_) return false;
    int status = 0;
    const pid_t ended = waitpid(pid_, &status, WNOHANG);
    if (ended != pid_) return ended == 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

ProgramRun runPlay(const std::vector<std::string>& arguments, const std::string& folder,
                   const std::vector<std::string>& environment)
{
    const auto started = std::chrono::steady_clock::now();
    PlayProcess process(arguments, folder, environment);
    ProgramRun run;
    run.exitCode = process.waitForExit(30s).value_or(-2);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.out = process.out();
    run.err = process.err();
    return run;
}

} // namespace playtest
