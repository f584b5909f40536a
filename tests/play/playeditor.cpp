#include "playeditor.h"

#include "playprogram.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace playtest {

namespace {

// The program may destroy its window between a look-up and a read.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

char stateOf(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) return 'X';
    // The command name may hold blanks and parentheses: the state follows the last ')'.
    return line.substr(line.rfind(')') + 2, 1)[0];
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

// Xvfb resets itself when its last client leaves (the previous test's) and refuses
// connections for some milliseconds meanwhile.
XClient::XClient()
{
    waitFor([&] { return (display_ = XOpenDisplay(nullptr)) != nullptr; }, 2s);
    if (!display_) throw std::runtime_error("cannot open the X display");
    XSetErrorHandler(ignoreXError);
}

XClient::~XClient()
{
    XCloseDisplay(display_);
}

std::optional<XClient::Size> XClient::sizeOf(unsigned long window) const
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, window, &attributes)) return std::nullopt;
    return Size{attributes.width, attributes.height};
}

std::string XClient::titleOf(unsigned long window) const
{
    char* name = nullptr;
    if (!XFetchName(display_, window, &name) || !name) return {};
    const std::string title = name;
    XFree(name);
    return title;
}

bool XClient::offersDeleteWindow(unsigned long window) const
{
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(display_, window, &protocols, &count)) return false;
    const Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    bool offered = false;
    for (int i = 0; i < count; ++i)
        offered = offered || protocols[i] == deleteWindow;
    XFree(protocols);
    return offered;
}

std::optional<XClient::Size> XClient::minimumSizeOf(unsigned long window) const
{
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(display_, window, &hints, &supplied) || !(hints.flags & PMinSize))
        return std::nullopt;
    return Size{hints.min_width, hints.min_height};
}

std::optional<XClient::Size> XClient::maximumSizeOf(unsigned long window) const
{
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(display_, window, &hints, &supplied) || !(hints.flags & PMaxSize))
        return std::nullopt;
    return Size{hints.max_width, hints.max_height};
}

bool XClient::holdsWindowOfSize(unsigned long window, Size size) const
{
    std::vector<Window> pending{window};
    while (!pending.empty()) {
        const Window current = pending.back();
        pending.pop_back();
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, current, &root, &parent, &children, &count)) continue;
        bool found = false;
        for (unsigned i = 0; i < count; ++i) {
            found = found || sizeOf(children[i]) == size;
            pending.push_back(children[i]);
        }
        if (children) XFree(children);
        if (found) return true;
    }
    return false;
}

void XClient::askToClose(unsigned long window) const
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    // With no event mask the event goes to the client that created the window.
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

void XClient::destroy(unsigned long window) const
{
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

void XClient::killClientOf(unsigned long window) const
{
    XKillClient(display_, window);
    XSync(display_, False);
}

bool displayNamed()
{
    const char* name = std::getenv("DISPLAY");
    return name && *name;
}

std::vector<std::string> argumentsOf(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(file, argument, '\0');)
        arguments.push_back(argument);
    return arguments;
}

bool hasEnded(pid_t pid)
{
    const char state = stateOf(pid);
    return state == 'X' || state == 'Z';
}

std::vector<pid_t> uiProcessesFor(unsigned long window)
{
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (!proc) return found;
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0 || hasEnded(pid)) continue;
        const auto arguments = argumentsOf(pid);
        if (arguments.size() >= 2 && arguments[0] == "PravoLindel3UI" &&
            arguments[1] == std::to_string(window))
            found.push_back(pid);
    }
    closedir(proc);
    return found;
}

std::set<std::string> pluginFifos()
{
    std::set<std::string> names;
    DIR* folder = opendir("/tmp");
    if (!folder) return names;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if ((startsWith(name, "pravolindel3ui") || startsWith(name, "pravolindel3plugin")) &&
            endsWith(name, ".fifo"))
            names.insert(name);
    }
    closedir(folder);
    return names;
}

bool writeRecord(const std::string& fifo, const void* bytes, std::size_t size)
{
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, bytes, size) == static_cast<ssize_t>(size);
    close(fd);
    return written;
}

} // namespace playtest
