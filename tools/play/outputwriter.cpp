#include "outputwriter.h"

#include "audiofile.h"
#include "interruptcleanup.h"
#include "rendererror.h"

#include <sndfile.h>

#include <chrono>

namespace pl3play {

namespace {

constexpr std::size_t kChunkFrames = 8192;
// The ring holds seconds of audio, so a short nap between drains costs nothing.
constexpr auto kIdleWait = std::chrono::milliseconds(10);

SNDFILE* openSoundFile(int fd, const std::string& name, int sampleRate, int channels, int format)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file)
        throw pl3render::RenderError("cannot write output '" + name + "': " + sf_strerror(nullptr));
    // Integer formats clip what goes past full scale instead of wrapping around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return file;
}

} // namespace

void OutputWriter::SoundFileCloser::operator()(sf_private_tag* file) const
{
    sf_close(file);
}

OutputWriter::OutputWriter(const std::string& path, int sampleRate, FrameRing& ring)
    : name_(path), format_(pl3render::outputFormatFor(path)), file_(path), ring_(ring),
      chunk_(kChunkFrames * static_cast<std::size_t>(ring.channels()))
{
    sound_.reset(
        openSoundFile(file_.releaseDescriptor(), path, sampleRate, ring.channels(), format_));
}

OutputWriter::~OutputWriter()
{
    stop();
}

void OutputWriter::start()
{
    // The thread inherits the blocked signals: they all go to the main loop.
    pl3render::DeferredInterrupts deferred;
    thread_ = std::thread([this] { run(); });
}

void OutputWriter::finish()
{
    stop();
    while (drain()) {
    }
    sound_.reset(); // completes the header
    if (!failure_.empty()) throw pl3render::RenderError(failure_);
    file_.commit();
}

void OutputWriter::stop()
{
    producerDone_.store(true);
    if (thread_.joinable()) thread_.join();
}

void OutputWriter::run()
{
    while (!producerDone_.load())
        if (!drain()) std::this_thread::sleep_for(kIdleWait);
}

bool OutputWriter::drain()
{
    const std::size_t frames = ring_.pop(chunk_.data(), kChunkFrames);
    if (frames == 0) return false;
    // After a failed write the ring is still emptied, so the audio thread never finds it full.
    if (!failure_.empty()) return true;
    const auto wanted = static_cast<sf_count_t>(frames);
    if (sf_writef_float(sound_.get(), chunk_.data(), wanted) != wanted)
        failure_ = "cannot write output '" + name_ + "': " + sf_strerror(sound_.get());
    else
        written_.fetch_add(frames);
    return true;
}

} // namespace pl3play
