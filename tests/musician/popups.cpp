#include "popups.h"

#include "xconnection.h"

#include <X11/Xlib.h>

#include <algorithm>

namespace musician {

namespace {
bool sameArea(const Rect& a, const Rect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
} // namespace

std::vector<Rect> popupWindows()
{
    Display* display = xDisplay();
    std::vector<Rect> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.override_redirect && attributes.map_state == IsViewable)
                found.push_back({attributes.x, attributes.y, attributes.width, attributes.height});
        }
        if (children) XFree(children);
    }
    return found;
}

std::optional<Rect> newPopup(const std::vector<Rect>& before)
{
    for (const Rect& area : popupWindows())
        if (std::none_of(before.begin(), before.end(),
                         [&](const Rect& old) { return sameArea(old, area); }))
            return area;
    return std::nullopt;
}

} // namespace musician
