#include "renderprogram.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rendertest {

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<char*> argv(std::vector<std::string>& arguments)
{
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return pointers;
}

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
    auto pointers = argv(all);
    const int failed =
        posix_spawn(&pid, PL3_RENDER_PATH, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + std::string(PL3_RENDER_PATH));
    return pid;
}

std::vector<std::string> lines(const std::string& text, const std::string& prefix = "")
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (line.rfind(prefix, 0) == 0) result.push_back(line);
    return result;
}

} // namespace

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pl3render.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void ScratchFolder::writeText(const std::string& name, const std::string& text) const
{
    std::ofstream(file(name), std::ios::binary) << text;
}

std::string ScratchFolder::readText(const std::string& name) const
{
    return readFile(file(name));
}

std::vector<std::string> ProgramRun::errLines() const
{
    return lines(err);
}

std::vector<std::string> ProgramRun::toolLines() const
{
    return lines(out, "pravolindel3-render: ");
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
