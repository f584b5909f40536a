#include "playprogram.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace playtest {

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> environmentWith(const std::vector<std::string>& changes)
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(changes.begin(), changes.end(), [&](const auto& c) {
            return c.substr(0, c.find('=')) == name;
        });
        if (!replaced) result.push_back(text);
    }
    result.insert(result.end(), changes.begin(), changes.end());
    return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pl3play.XXXXXX").string();
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

std::string ScratchFolder::readText(const std::string& name) const
{
    return readFile(file(name));
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> toolLines(const std::string& out)
{
    std::vector<std::string> lines;
    for (const std::string& line : linesOf(out))
        if (line.rfind("pravolindel3-play: ", 0) == 0) lines.push_back(line);
    return lines;
}

PlayProcess::PlayProcess(const std::vector<std::string>& arguments, const std::string& folder,
                         const std::vector<std::string>& environment)
{
    std::vector<std::string> argv{PL3_PLAY_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env = environmentWith(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, captures_.file("out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, captures_.file("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    auto argp = pointersTo(argv);
    auto envp = pointersTo(env);
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
