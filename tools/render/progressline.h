// One updating line on the terminal while a long render runs. It shows up
// only on a terminal and only once a render has taken a moment, so short
// renders and redirected output stay clean.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>

namespace pl3render {

class ProgressLine {
public:
    // `stream` is only written to when `enabled`; a terminal is the caller's
    // decision (see onTerminal).
    ProgressLine(std::FILE* stream, bool enabled, std::size_t totalFrames, double sampleRate);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    static bool onTerminal(std::FILE* stream);

    void update(std::size_t framesDone);
    // Clears the line, leaving the terminal as it was before.
    void finish();

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* stream_;
    bool enabled_;
    bool shown_ = false;
    std::size_t totalFrames_;
    double sampleRate_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point lastDrawn_{};
};

} // namespace pl3render
