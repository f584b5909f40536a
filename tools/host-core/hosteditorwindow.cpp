#include "hosteditorwindow.h"

#include "hosterror.h"

#include <X11/Xlib.h>

namespace hostcore {

namespace {

ERect rectangleOf(LoadedPlugin& plugin)
{
    const RectReply reply = plugin.editorRect();
    if (!reply.result || !reply.rect)
        throw HostError(HostFailure::BadArgument, "the plug-in gave no editor rectangle");
    return *reply.rect;
}

// The UI may destroy a child between the look-up and the question; Xlib's default handler
// would end the process for that.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

HostEditorWindow::HostEditorWindow(LoadedPlugin& plugin, int x, int y) : plugin_(plugin)
{
    const ERect rect = rectangleOf(plugin);
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        throw HostError(HostFailure::BadArgument, "no X display for the editor window");
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y,
                                  unsigned(rect.right - rect.left), unsigned(rect.bottom - rect.top),
                                  0, BlackPixel(display_, screen), BlackPixel(display_, screen));
    XMapWindow(display_, window_);
    XSync(display_, False);
    plugin_.host().setWindowSizer([this](int width, int height) {
        resize(width, height);
        return true;
    });
}

HostEditorWindow::~HostEditorWindow()
{
    plugin_.host().setWindowSizer({});
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

VstIntPtr HostEditorWindow::openEditor()
{
    return plugin_.editorOpen(window_);
}

void HostEditorWindow::resize(int width, int height)
{
    XResizeWindow(display_, window_, unsigned(width), unsigned(height));
    XSync(display_, False);
}

WindowArea HostEditorWindow::area() const
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window_, &attributes);
    return {attributes.x, attributes.y, attributes.width, attributes.height};
}

std::vector<WindowArea> HostEditorWindow::shownChildren() const
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<WindowArea> shown;
    if (!XQueryTree(display_, window_, &root, &parent, &children, &count)) return shown;
    const auto previous = XSetErrorHandler(ignoreXError);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display_, children[i], &attributes) &&
            attributes.map_state == IsViewable)
            shown.push_back({attributes.x, attributes.y, attributes.width, attributes.height});
    }
    XSync(display_, False);
    XSetErrorHandler(previous);
    if (children) XFree(children);
    return shown;
}

bool HostEditorWindow::filledByOneChild() const
{
    const WindowArea own = area();
    const auto children = shownChildren();
    return children.size() == 1 && children[0] == WindowArea{0, 0, own.width, own.height};
}

} // namespace hostcore
