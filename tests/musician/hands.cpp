#include "hands.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace musician {

namespace {

void xdotool(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "xdotool");
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("xdotool " + arguments[1] + " failed (scripts/install-deps)");
}

std::string number(int value)
{
    return std::to_string(value);
}

std::string buttonNumber(MouseButton button)
{
    return number(int(button));
}

} // namespace

void moveTo(int x, int y)
{
    xdotool({"mousemove", "--sync", number(x), number(y)});
}

void press(MouseButton button)
{
    xdotool({"mousedown", buttonNumber(button)});
}

void release(MouseButton button)
{
    xdotool({"mouseup", buttonNumber(button)});
}

void click(int x, int y, MouseButton button)
{
    moveTo(x, y);
    press(button);
    release(button);
}

void drag(int x, int y, int dy)
{
    constexpr int kStep = 4;
    moveTo(x, y);
    press(MouseButton::Left);
    const int direction = dy < 0 ? -1 : 1;
    for (int moved = 0; moved != dy;) {
        moved += direction * std::min(kStep, std::abs(dy - moved));
        moveTo(x, y + moved);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    release(MouseButton::Left);
}

} // namespace musician
