#include "hostwindowsize.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* x11Connection()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                              : nullptr;
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

// Adds structure events to what this client already hears from the window: event masks are
// kept per client, and Qt may have chosen some of its own for a window it wraps.
bool listenToStructure(xcb_connection_t* connection, xcb_window_t window)
{
    const ReplyPointer<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection,
                                        xcb_get_window_attributes(connection, window), nullptr),
        &std::free);
    if (!attributes) return false;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    return true;
}

// Asked after the events were chosen, so that no resize falls between the answer and them.
QSize currentSize(xcb_connection_t* connection, xcb_window_t window)
{
    const ReplyPointer<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    return geometry ? QSize(geometry->width, geometry->height) : QSize();
}

} // namespace

HostWindowSize::HostWindowSize(unsigned long windowId) : windowId(windowId)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || windowId == 0) return;
    const auto window = xcb_window_t(windowId);
    if (!listenToStructure(connection, window)) return;
    current = currentSize(connection, window);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

HostWindowSize::~HostWindowSize()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
}

// The event goes on to Qt in every case: the window may be one Qt knows as well.
bool HostWindowSize::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_CONFIGURE_NOTIFY) return false;
    const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
    if (configure->window != windowId) return false;
    const QSize size(configure->width, configure->height);
    if (size == current) return false;
    current = size;
    emit resized(size);
    return false;
}
