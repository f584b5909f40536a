#include "soundoutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

namespace pl3play {

namespace {

// ALSA prints its own diagnostics to stderr; the tool says what matters in one line.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using Pcm = std::unique_ptr<snd_pcm_t, PcmCloser>;

constexpr int kChannels = 2;
constexpr int kBufferBlocks = 4;
constexpr unsigned kMinimumLatencyMicroseconds = 40000;

class AlsaOutput : public BlockSink {
public:
    AlsaOutput(Pcm pcm, snd_pcm_format_t format, std::int32_t blockFrames)
        : pcm_(std::move(pcm)), asFloat_(format == SND_PCM_FORMAT_FLOAT),
          keepsTime_(snd_pcm_type(pcm_.get()) != SND_PCM_TYPE_NULL),
          shorts_(asFloat_ ? 0 : static_cast<std::size_t>(blockFrames) * kChannels)
    {
    }
    ~AlsaOutput() override { snd_pcm_drop(pcm_.get()); }

    bool keepsTime() const override { return keepsTime_; }
    void play(const float* interleaved, std::int32_t frames) override;
    std::uint64_t underruns() const override { return underruns_.load(); }

private:
    const void* samplesFor(const float* interleaved, std::int32_t frames);

    Pcm pcm_;
    bool asFloat_;
    bool keepsTime_;
    std::vector<std::int16_t> shorts_;
    std::atomic<std::uint64_t> underruns_{0};
};

const void* AlsaOutput::samplesFor(const float* interleaved, std::int32_t frames)
{
    if (asFloat_) return interleaved;
    for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * kChannels; ++i)
        shorts_[i] = static_cast<std::int16_t>(
            std::lrint(std::clamp(interleaved[i], -1.0f, 1.0f) * 32767.0f));
    return shorts_.data();
}

void AlsaOutput::play(const float* interleaved, std::int32_t frames)
{
    const auto* bytes = static_cast<const char*>(samplesFor(interleaved, frames));
    const std::size_t frameBytes = (asFloat_ ? sizeof(float) : sizeof(std::int16_t)) * kChannels;
    while (frames > 0) {
        const snd_pcm_sframes_t written = snd_pcm_writei(pcm_.get(), bytes, frames);
        if (written < 0) {
            if (written == -EPIPE) underruns_.fetch_add(1);
            // A device that cannot be recovered is left behind: the file still gets every block.
            if (snd_pcm_recover(pcm_.get(), static_cast<int>(written), 1) < 0) return;
            continue;
        }
        frames -= static_cast<std::int32_t>(written);
        bytes += static_cast<std::size_t>(written) * frameBytes;
    }
}

unsigned latencyMicroseconds(int rate, std::int32_t blockFrames)
{
    const double buffer = 1e6 * kBufferBlocks * blockFrames / rate;
    return std::max(kMinimumLatencyMicroseconds, static_cast<unsigned>(buffer));
}

} // namespace

std::unique_ptr<BlockSink> openSoundOutput(const std::string& device, int rate,
                                           std::int32_t blockFrames, std::string& reason)
{
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t* opened = nullptr;
    int error = snd_pcm_open(&opened, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (error < 0) {
        reason = snd_strerror(error);
        return nullptr;
    }
    Pcm pcm(opened);
    const unsigned latency = latencyMicroseconds(rate, blockFrames);
    for (const snd_pcm_format_t format : {SND_PCM_FORMAT_FLOAT, SND_PCM_FORMAT_S16}) {
        error = snd_pcm_set_params(pcm.get(), format, SND_PCM_ACCESS_RW_INTERLEAVED, kChannels,
                                   static_cast<unsigned>(rate), 1, latency);
        if (error == 0) return std::make_unique<AlsaOutput>(std::move(pcm), format, blockFrames);
    }
    reason = snd_strerror(error);
    return nullptr;
}

} // namespace pl3play
