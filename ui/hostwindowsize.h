// The size of the host's editor window, a window of another X11 client, followed as the host
// resizes it. Qt tracks the geometry of its own windows only, so this asks the X server for
// the window's structure events on the application's own connection and picks the
// window's ConfigureNotify out of Qt's event stream. Without an X11 connection (another
// platform) it knows no size. GUI thread only.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QSize>

class HostWindowSize : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit HostWindowSize(unsigned long windowId);
    ~HostWindowSize() override;

    HostWindowSize(const HostWindowSize&) = delete;
    HostWindowSize& operator=(const HostWindowSize&) = delete;

    // The window's size as last known; invalid when it is unknown.
    QSize size() const { return current; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void resized(QSize size);

private:
    unsigned long windowId;
    QSize current;
};
