#include "editorrig.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace editorrig {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

HostWindow::HostWindow(int width, int height, int x, int y)
{
    display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display: run the editor tests under Xvfb (scripts/test)");
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, unsigned(width),
                                 unsigned(height), 0, BlackPixel(display, screen),
                                 WhitePixel(display, screen));
    XMapWindow(display, window);
    XSync(display, False);
}

HostWindow::~HostWindow()
{
    if (display) {
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
}

bool HostWindow::holdsWindowOfSize(int width, int height) const
{
    return descendantOfSize(width, height) != 0;
}

unsigned long HostWindow::descendantOfSize(int width, int height) const
{
    std::vector<Window> pending{window};
    Window found = 0;
    while (!pending.empty() && !found) {
        const Window current = pending.back();
        pending.pop_back();
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, current, &root, &parent, &children, &count)) continue;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.width == width && attributes.height == height)
                found = children[i];
            pending.push_back(children[i]);
        }
        if (children) XFree(children);
    }
    return found;
}

namespace {
// The window may be unmapped or destroyed between the look-up and the read; Xlib's default
// handler would end the test process for that.
bool xRequestFailed = false;
int noteXError(Display*, XErrorEvent*)
{
    xRequestFailed = true;
    return 0;
}

uint64_t fnv1a(const char* bytes, size_t size)
{
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ uint8_t(bytes[i])) * 1099511628211ull;
    return hash;
}
} // namespace

// X only hands out pixels that lie on the screen, and a small screen cuts the window off.
std::optional<uint64_t> HostWindow::pixelChecksum(int width, int height) const
{
    const auto position = screenPositionOf(width, height);
    if (!position) return std::nullopt;
    const auto [rootX, rootY] = *position;
    const Screen* screen = DefaultScreenOfDisplay(display);
    const int left = std::max(0, -rootX);
    const int top = std::max(0, -rootY);
    const int right = std::min(width, screen->width - rootX);
    const int bottom = std::min(height, screen->height - rootY);
    if (right <= left || bottom <= top) return std::nullopt;

    xRequestFailed = false;
    const auto previous = XSetErrorHandler(noteXError);
    XImage* image = XGetImage(display, descendantOfSize(width, height), left, top,
                              unsigned(right - left), unsigned(bottom - top), AllPlanes, ZPixmap);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!image) return std::nullopt;
    std::optional<uint64_t> checksum;
    if (!xRequestFailed)
        checksum = fnv1a(image->data, size_t(image->bytes_per_line) * size_t(image->height));
    XDestroyImage(image);
    return checksum;
}

std::optional<std::pair<int, int>> HostWindow::screenPositionOf(int width, int height) const
{
    const Window target = descendantOfSize(width, height);
    XWindowAttributes attributes{};
    if (!target || !XGetWindowAttributes(display, target, &attributes) ||
        attributes.map_state != IsViewable)
        return std::nullopt;
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, target, attributes.root, 0, 0, &rootX, &rootY, &child);
    return std::pair{rootX, rootY};
}

std::vector<std::string> argumentsOf(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    std::string argument;
    while (std::getline(file, argument, '\0'))
        arguments.push_back(argument);
    return arguments;
}

namespace {
pid_t parentOf(pid_t pid, char* state)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) return -1;
    // The command name may hold blanks and parentheses: the fields follow the last ')'.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    pid_t parent = -1;
    fields >> *state >> parent;
    return parent;
}

// The children of this process in the state that `wanted` accepts.
std::vector<pid_t> childrenWhere(const std::function<bool(pid_t, char)>& wanted)
{
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (!proc) return children;
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        char state = '?';
        if (pid > 0 && parentOf(pid, &state) == getpid() && wanted(pid, state))
            children.push_back(pid);
    }
    closedir(proc);
    return children;
}
} // namespace

std::vector<pid_t> uiChildren()
{
    return childrenWhere([](pid_t pid, char state) {
        const auto arguments = state == 'Z' ? std::vector<std::string>{} : argumentsOf(pid);
        return !arguments.empty() && arguments[0] == "PravoLindel3UI";
    });
}

std::vector<pid_t> zombieChildren()
{
    return childrenWhere([](pid_t, char state) { return state == 'Z'; });
}

bool hasEnded(pid_t pid)
{
    char state = '?';
    return parentOf(pid, &state) < 0 || state == 'Z' || state == 'X';
}

bool isReaped(pid_t pid)
{
    char state = '?';
    return parentOf(pid, &state) != getpid();
}

bool fileExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

namespace {
std::string capturePath(const char* what)
{
    return "/tmp/pl3-editor-" + std::string(what) + "-" + std::to_string(getpid()) + ".txt";
}

int redirect(int fd, const std::string& path)
{
    std::fflush(nullptr);
    const int saved = dup(fd);
    const int file = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    dup2(file, fd);
    close(file);
    return saved;
}

void restore(int fd, int saved, const std::string& path)
{
    std::fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    unlink(path.c_str());
}

std::string contentOf(const std::string& path)
{
    std::fflush(nullptr);
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
} // namespace

ErrorCapture::ErrorCapture() : path(capturePath("stderr")), saved(redirect(2, path)) {}
ErrorCapture::~ErrorCapture()
{
    restore(2, saved, path);
}
std::string ErrorCapture::text() const
{
    return contentOf(path);
}

OutputCapture::OutputCapture() : path(capturePath("stdout")), saved(redirect(1, path)) {}
OutputCapture::~OutputCapture()
{
    restore(1, saved, path);
}
std::string OutputCapture::text() const
{
    return contentOf(path);
}

namespace {
Atom resourceManager(Display* display)
{
    return XInternAtom(display, "RESOURCE_MANAGER", False);
}

std::optional<std::string> resourcesOf(Display* display)
{
    constexpr long kMostWords = 1 << 20;
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), resourceManager(display), 0, kMostWords,
                       False, XA_STRING, &type, &format, &items, &after, &data);
    std::optional<std::string> text;
    if (type == XA_STRING && data) text = std::string(reinterpret_cast<const char*>(data), items);
    if (data) XFree(data);
    return text;
}

void setResources(Display* display, const std::optional<std::string>& text)
{
    if (text)
        XChangeProperty(display, DefaultRootWindow(display), resourceManager(display), XA_STRING,
                        8, PropModeReplace, reinterpret_cast<const unsigned char*>(text->data()),
                        int(text->size()));
    else
        XDeleteProperty(display, DefaultRootWindow(display), resourceManager(display));
    XSync(display, False);
}
} // namespace

XftDpiSetting::XftDpiSetting(std::optional<int> dpi)
{
    display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display: run the editor tests under Xvfb (scripts/test)");
    saved = resourcesOf(display);
    setResources(display, dpi ? std::optional("Xft.dpi:\t" + std::to_string(*dpi) + "\n")
                              : std::nullopt);
}

XftDpiSetting::~XftDpiSetting()
{
    setResources(display, saved);
    XCloseDisplay(display);
}

EnvironmentSetting::EnvironmentSetting(const char* name, const char* value) : name(name)
{
    if (const char* old = std::getenv(name)) saved = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

EnvironmentSetting::~EnvironmentSetting()
{
    if (saved)
        setenv(name.c_str(), saved->c_str(), 1);
    else
        unsetenv(name.c_str());
}

bool writeRecord(const std::string& fifo, const void* bytes, size_t size)
{
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, bytes, size) == ssize_t(size);
    close(fd);
    return written;
}

} // namespace editorrig
