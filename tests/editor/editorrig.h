// What the editor tests share: a real X11 window standing in for the host's
// editor window, the UI processes this test process started, and waiting.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

struct _XDisplay;

namespace editorrig {

// Polls condition every 10 ms until it holds or timeout passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

class HostWindow {
public:
    // At (x, y) on the screen: there is no window manager under Xvfb to move it. By default
    // as large as the editor's rectangle at 1x, as a host sizes its window: the UI fills the
    // window it is given, at whatever scale that takes.
    HostWindow(int width = 260, int height = 517, int x = 0, int y = 0);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    unsigned long id() const { return window; }
    void* handle() const { return reinterpret_cast<void*>(window); }
    // A descendant of this window with exactly this size exists.
    bool holdsWindowOfSize(int width, int height) const;
    // A checksum of the pixels that the descendant of this size shows on the screen; empty
    // while there is no such window or it is not viewable.
    std::optional<uint64_t> pixelChecksum(int width, int height) const;
    // Where the viewable descendant of this size lies on the screen.
    std::optional<std::pair<int, int>> screenPositionOf(int width, int height) const;

private:
    // The first descendant with exactly this size, or 0.
    unsigned long descendantOfSize(int width, int height) const;

    // Xlib's own types stay in the source: its macros would clash with the tests'.
    ::_XDisplay* display = nullptr;
    unsigned long window = 0;
};

// The processes whose parent is this test process and whose argument 0 is
// "PravoLindel3UI".
std::vector<pid_t> uiChildren();
std::vector<std::string> argumentsOf(pid_t pid);
// Children of this process that have ended and that nobody has waited for.
std::vector<pid_t> zombieChildren();
// The process no longer runs (gone, or a zombie waiting for its parent).
bool hasEnded(pid_t pid);
// The child has ended and been waited for: no process of that number is a
// child of this one any more.
bool isReaped(pid_t pid);
bool fileExists(const std::string& path);

// Standard error of this process goes to a file while the capture lives, and so
// does that of every child started meanwhile.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    std::string text() const;

private:
    std::string path;
    int saved = -1;
};

// Standard output the same way: the plug-in's diagnostic lines.
class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();
    std::string text() const;

private:
    std::string path;
    int saved = -1;
};

// The X server's Xft.dpi while the object lives: written into the root window's
// RESOURCE_MANAGER property, which Xlib reads into every new connection, and the property
// put back as it was afterwards. No dpi: the property is removed meanwhile.
class XftDpiSetting {
public:
    explicit XftDpiSetting(std::optional<int> dpi);
    ~XftDpiSetting();
    XftDpiSetting(const XftDpiSetting&) = delete;
    XftDpiSetting& operator=(const XftDpiSetting&) = delete;

private:
    ::_XDisplay* display = nullptr;
    std::optional<std::string> saved;
};

// One variable of this process's environment, which the plug-in it hosts reads, set while the
// object lives (or unset, for a null value) and restored after.
class EnvironmentSetting {
public:
    EnvironmentSetting(const char* name, const char* value);
    ~EnvironmentSetting();
    EnvironmentSetting(const EnvironmentSetting&) = delete;
    EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

private:
    std::string name;
    std::optional<std::string> saved;
};

// Writes one record into a FIFO the way the UI does.
bool writeRecord(const std::string& fifo, const void* bytes, size_t size);

} // namespace editorrig
