// What the editor tests look at from outside the program: its X11 window, the UI process the
// plug-in started for that window, and the plug-in's FIFO files.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

namespace playtest {

// A connection of the test's own to the X server the program uses.
class XClient {
public:
    XClient(); // throws if the display cannot be opened
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    struct Size {
        int width = 0;
        int height = 0;
        bool operator==(const Size&) const = default;
    };
    std::optional<Size> sizeOf(unsigned long window) const;
    std::string titleOf(unsigned long window) const;
    bool offersDeleteWindow(unsigned long window) const;
    // The minimum and maximum sizes the window asks a window manager for.
    std::optional<Size> minimumSizeOf(unsigned long window) const;
    std::optional<Size> maximumSizeOf(unsigned long window) const;
    // A window below `window` (not itself) of exactly this size.
    bool holdsWindowOfSize(unsigned long window, Size size) const;
    // What a window manager sends when the user closes the window.
    void askToClose(unsigned long window) const;
    void destroy(unsigned long window) const;
    // Closes the connection of the client that made the window, as xkill does.
    void killClientOf(unsigned long window) const;

private:
    ::_XDisplay* display_ = nullptr;
};

// DISPLAY is set (the test command runs the suite under xvfb-run).
bool displayNamed();

// Processes started as the UI for this window: argument 0 "PravoLindel3UI", argument 1 the
// window id in decimal. Zombies count as ended.
std::vector<pid_t> uiProcessesFor(unsigned long window);
std::vector<std::string> argumentsOf(pid_t pid);
bool hasEnded(pid_t pid);
// The plug-in's FIFO files in /tmp, by name.
std::set<std::string> pluginFifos();

// Writes one record into a FIFO the way the UI does.
bool writeRecord(const std::string& fifo, const void* bytes, std::size_t size);

} // namespace playtest
