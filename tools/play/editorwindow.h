// The host's editor window: a top-level X11 window of exactly the size the plug-in asks for,
// into which the plug-in's UI process embeds itself. Main thread only.
#pragma once

#include <string>

struct _XDisplay;
union _XEvent;

namespace pl3play {

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

class EditorWindow {
public:
    static constexpr const char* kTitle = "PravoLindel3 play";
    static constexpr const char* kClass = "pravolindel3-play";

    // Opens the display DISPLAY names. Throws pl3render::RenderError
    // `cannot open the X display "<name>"` if it cannot.
    EditorWindow();
    // Destroys the window if it is still there and closes the display.
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Creates the window at `at`, fixed at width × height for any window manager, titled, with
    // the WM_DELETE_WINDOW protocol; maps it and returns once it is mapped.
    void show(int width, int height, ScreenPoint at);
    unsigned long id() const { return window_; }
    // The window's top-left corner on the root window.
    ScreenPoint positionOnScreen() const;
    // The descriptor of the display connection, for poll().
    int connection() const;

    // Handles every queued event. True once the window was asked to close (WM_DELETE_WINDOW),
    // destroyed by someone else, or the connection to the display was lost (the client was
    // killed, the server went away).
    bool processEvents();
    void destroy();

private:
    void setHints(int width, int height, ScreenPoint at);
    void waitUntilMapped();
    // A close request, or the destruction of the window (which then counts as gone).
    bool endsSession(const ::_XEvent& event);
    bool serverHungUp() const;
    static void onConnectionLost(::_XDisplay* display, void* window);

    ::_XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    unsigned long deleteAtom_ = 0;
    bool closing_ = false;
    bool connectionLost_ = false;
};

} // namespace pl3play
