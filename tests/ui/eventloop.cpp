#include "eventloop.h"

#include <QCoreApplication>
#include <QThread>

bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void processEventsFor(std::chrono::milliseconds time)
{
    processEventsUntil([] { return false; }, time);
}
