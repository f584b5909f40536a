#include "xconnection.h"

#include <X11/Xlib.h>

#include <stdexcept>

namespace musician {

::_XDisplay* xDisplay()
{
    static Display* display = XOpenDisplay(nullptr);
    if (!display) throw std::runtime_error("no X display: run under Xvfb (scripts/test)");
    return display;
}

int screenHeight()
{
    Display* display = xDisplay();
    return DisplayHeight(display, DefaultScreen(display));
}

} // namespace musician
