// Runs the application's event loop, as the UI program would, until a condition holds.
#pragma once

#include <chrono>
#include <functional>

// True once condition holds; false when timeout has passed first.
bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
// Runs the event loop for this long whatever happens.
void processEventsFor(std::chrono::milliseconds time);
