#include "renderprogram.h"

#include "spawnarguments.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rendertest {

namespace {

pid_t spawn(const std::vector<std::string>& arguments, const std::string& out,
            const std::string& err)
{
    std::vector<std::string> all{PL3_RENDER_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    auto pointers = pl3test::pointersTo(all);
    const int failed =
        posix_spawn(&pid, PL3_RENDER_PATH, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + std::string(PL3_RENDER_PATH));
    return pid;
}

} // namespace

std::vector<std::string> ProgramRun::errLines() const
{
    return pl3test::linesOf(err);
}

std::vector<std::string> ProgramRun::toolLines() const
{
    return pl3test::linesStartingWith(out, "pravolindel3-render: ");
}

ProgramRun runRender(const std::vector<std::string>& arguments)
{
    const ScratchFolder captured;
    const pid_t pid = spawn(arguments, captured.file("out"), captured.file("err"));
    ProgramRun run;
    run.exitCode = waitForExit(pid);
    run.out = captured.readText("out");
    run.err = captured.readText("err");
    return run;
}

pid_t startRender(const std::vector<std::string>& arguments, const std::string& err)
{
    return spawn(arguments, "/dev/null", err);
}

int waitForExit(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace rendertest
