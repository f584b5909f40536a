// The host's editor window on a real X server, as a host makes it: a top-level window in X
// pixels at the rectangle the plug-in gives, resized when the plug-in asks the host to
// (audioMasterSizeWindow) and when the test drags it to another size.
//
// One thread: the test's, which both dispatches to the plug-in and hears its size requests
// (a plug-in asks from the host's UI thread). The plug-in must outlive the window, which
// takes its host's size requests while it lives.
#pragma once

#include "loadedplugin.h"

#include <vector>

struct _XDisplay;

namespace hostcore {

struct WindowArea {
    int x = 0; // within the parent
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowArea&) const = default;
};

class HostEditorWindow {
public:
    // Asks the plug-in for its rectangle and shows the window at (x, y) on the screen, at that
    // size. Throws HostError(BadArgument) without an X display or a rectangle.
    explicit HostEditorWindow(LoadedPlugin& plugin, int x = 0, int y = 0);
    ~HostEditorWindow();
    HostEditorWindow(const HostEditorWindow&) = delete;
    HostEditorWindow& operator=(const HostEditorWindow&) = delete;

    unsigned long id() const { return window_; }
    // effEditOpen with this window.
    VstIntPtr openEditor();
    void resize(int width, int height);
    // The window's area as the X server has it.
    WindowArea area() const;
    // The viewable windows directly inside this one: the UI's, once it has embedded itself.
    std::vector<WindowArea> shownChildren() const;
    // One window is shown inside this one and covers it exactly: an embedded editor that
    // fills the host's window.
    bool filledByOneChild() const;

private:
    LoadedPlugin& plugin_;
    ::_XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
};

} // namespace hostcore
