#include "editorwindow.h"

#include "rendererror.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <poll.h>
#include <thread>

namespace pl3play {

namespace {

// The UI process owns windows inside this one and may destroy them at any moment, and someone
// else may destroy this one: a request on a window that is gone must not end the program, as
// Xlib's default handler would.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// A lost connection ends the session like a closed window (onConnectionLost); Xlib's own
// words for it would only add lines.
int quietIOError(Display*)
{
    return 0;
}

// An X server that has just lost its last client resets itself and refuses connections for
// some milliseconds meanwhile (Xvfb does, as xvfb-run starts it); a few tries bridge that.
Display* openDisplay()
{
    constexpr int kTries = 25;
    constexpr auto kPause = std::chrono::milliseconds(20);
    for (int attempt = 1;; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) return display;
        if (attempt == kTries) return nullptr;
        std::this_thread::sleep_for(kPause);
    }
}

// XCloseDisplay talks to the server first, and on a connection the server has closed that
// runs into Xlib's error path again. The process is about to end: the connection is left
// for it to take down, still referenced so that it counts as kept, not leaked.
Display* volatile abandonedConnection = nullptr;

void abandonConnection(Display* display)
{
    abandonedConnection = display;
}

std::string displayName()
{
    const char* name = XDisplayName(nullptr);
    return name ? name : "";
}

} // namespace

EditorWindow::EditorWindow() : display_(openDisplay())
{
    if (!display_)
        throw pl3render::RenderError("cannot open the X display \"" + displayName() + "\"");
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(quietIOError);
    // Without this handler Xlib would exit() on a lost connection, leaving the temporary
    // output file, the UI process and its FIFO files behind.
    XSetIOErrorExitHandler(display_, onConnectionLost, this);
}

EditorWindow::~EditorWindow()
{
    destroy();
    if (connectionLost_)
        abandonConnection(display_);
    else
        XCloseDisplay(display_);
}

void EditorWindow::onConnectionLost(Display*, void* window)
{
    static_cast<EditorWindow*>(window)->connectionLost_ = true;
}

void EditorWindow::show(int width, int height, ScreenPoint at)
{
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), at.x, at.y,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                  BlackPixel(display_, screen), BlackPixel(display_, screen));
    XSelectInput(display_, window_, StructureNotifyMask);
    setHints(width, height, at);
    XMapWindow(display_, window_);
    waitUntilMapped();
    if (window_ == 0 || connectionLost_)
        throw pl3render::RenderError("the editor window was destroyed before it appeared");
}

// The position counts as the user's (USPosition), so a window manager keeps it, and equal
// minimum and maximum sizes keep the size.
void EditorWindow::setHints(int width, int height, ScreenPoint at)
{
    XSizeHints* size = XAllocSizeHints();
    size->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    size->x = at.x;
    size->y = at.y;
    size->width = size->min_width = size->max_width = width;
    size->height = size->min_height = size->max_height = height;
    XSetWMNormalHints(display_, window_, size);
    XFree(size);

    XStoreName(display_, window_, kTitle);
    XClassHint* classHint = XAllocClassHint();
    classHint->res_name = const_cast<char*>(kClass);
    classHint->res_class = const_cast<char*>(kClass);
    XSetClassHint(display_, window_, classHint);
    XFree(classHint);

    Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &deleteWindow, 1);
    deleteAtom_ = deleteWindow;
}

void EditorWindow::waitUntilMapped()
{
    XEvent event{};
    do
        XWindowEvent(display_, window_, StructureNotifyMask, &event);
    while (event.type != MapNotify && !endsSession(event) && !connectionLost_);
}

ScreenPoint EditorWindow::positionOnScreen() const
{
    ScreenPoint point;
    Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &point.x, &point.y,
                          &child);
    return point;
}

int EditorWindow::connection() const
{
    return ConnectionNumber(display_);
}

// Noticed before Xlib reads from a connection the server has closed: Xlib's own way out of
// that (the exit handler) is the last resort.
bool EditorWindow::serverHungUp() const
{
    pollfd connection{ConnectionNumber(display_), POLLIN, 0};
    return poll(&connection, 1, 0) > 0 && (connection.revents & (POLLHUP | POLLERR));
}

bool EditorWindow::processEvents()
{
    if (!connectionLost_ && serverHungUp()) connectionLost_ = true;
    while (!connectionLost_ && XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
        if (endsSession(event)) closing_ = true;
    }
    return closing_ || connectionLost_;
}

bool EditorWindow::endsSession(const XEvent& event)
{
    if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
        window_ = 0; // gone: nothing left to destroy
        return true;
    }
    return event.type == ClientMessage && event.xclient.window == window_ &&
           static_cast<unsigned long>(event.xclient.data.l[0]) == deleteAtom_;
}

void EditorWindow::destroy()
{
    if (connectionLost_) window_ = 0; // the server has destroyed it with the connection
    if (window_ == 0) return;
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    window_ = 0;
}

} // namespace pl3play
