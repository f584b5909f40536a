#include "progressline.h"

#include <unistd.h>

namespace pl3render {

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

} // namespace

ProgressLine::ProgressLine(std::FILE* stream, bool enabled, std::size_t totalFrames,
                           double sampleRate)
    : stream_(stream), enabled_(enabled && totalFrames > 0), totalFrames_(totalFrames),
      sampleRate_(sampleRate)
{
}

ProgressLine::~ProgressLine()
{
    finish();
}

bool ProgressLine::onTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) == 1;
}

void ProgressLine::update(std::size_t framesDone)
{
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - started_ < kQuietStart || now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    shown_ = true;
    const double done = static_cast<double>(framesDone) / totalFrames_;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double left = done > 0.0 ? elapsed * (1.0 - done) / done : 0.0;
    std::fprintf(stream_,
                 "\rpravolindel3-render: %5.1f%%  %.1f of %.1f s of audio, %.0f s left\033[K",
                 100.0 * done, framesDone / sampleRate_, totalFrames_ / sampleRate_, left);
    std::fflush(stream_);
}

void ProgressLine::finish()
{
    if (!shown_) return;
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    shown_ = false;
}

} // namespace pl3render
