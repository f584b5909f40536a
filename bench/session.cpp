#include "session.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace pl3bench {

namespace {

// xorshift32: cheap, deterministic, and free of short periods.
class Noise {
public:
    float next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 24) - 0.5f;
    }

private:
    std::uint32_t state_ = 0x9e3779b9u;
};

std::chrono::nanoseconds threadCpuTime()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

BlockRing::BlockRing(VstInt32 blockFrames) : blockFrames_(blockFrames), samples_(4 * kRingFrames)
{
    Noise noise;
    std::generate(samples_.begin(), samples_.begin() + 2 * kRingFrames,
                  [&noise] { return noise.next(); });
    float* inLeft = samples_.data();
    float* inRight = inLeft + kRingFrames;
    float* outLeft = inRight + kRingFrames;
    float* outRight = outLeft + kRingFrames;
    const auto frames = static_cast<std::size_t>(blockFrames);
    for (std::size_t start = 0; start + frames <= kRingFrames; start += frames) {
        inputs_.push_back({inLeft + start, inRight + start});
        outputs_.push_back({outLeft + start, outRight + start});
    }
}

bool BlockRing::passedThrough(std::size_t block) const
{
    const std::size_t bytes = static_cast<std::size_t>(blockFrames_) * sizeof(float);
    for (int channel = 0; channel < 2; ++channel)
        if (std::memcmp(inputs_[block][channel], outputs_[block][channel], bytes) != 0)
            return false;
    return true;
}

bool BlockRing::repeats(std::size_t block, std::size_t framesBack) const
{
    const auto frames = static_cast<std::size_t>(blockFrames_);
    const std::size_t back = framesBack % kRingFrames;
    for (int channel = 0; channel < 2; ++channel) {
        const float* ring = inputChannel(channel);
        for (std::size_t i = 0; i < frames; ++i) {
            const std::size_t earlier = (block * frames + i + kRingFrames - back) % kRingFrames;
            if (outputs_[block][channel][i] != ring[earlier]) return false;
        }
    }
    return true;
}

Session::Session(const SessionSettings& settings)
    : host_(std::make_unique<hostcore::Host>()),
      plugin_(std::make_unique<hostcore::LoadedPlugin>(PL3_PLUGIN_PATH, *host_)),
      ring_(settings.blockFrames), beatFrames_(static_cast<std::int64_t>(settings.beatFrames()))
{
    host_->transport().setTempo(settings.tempo);
    plugin_->startSession(settings.sampleRate, settings.blockFrames);
}

void Session::processFrames(std::int64_t frames)
{
    for (std::int64_t done = 0; done < frames; done += ring_.blockFrames())
        processBlock();
}

std::optional<BlockTiming> Session::switchLoopOnAndTimeCapture()
{
    using Clock = std::chrono::steady_clock;
    plugin_->setParameter(kLoop1, kSwitchOn);
    for (std::int64_t waited = 0; waited <= beatFrames_ + ring_.blockFrames();
         waited += ring_.blockFrames()) {
        const std::chrono::nanoseconds cpuStart = threadCpuTime();
        const Clock::time_point start = Clock::now();
        processBlock();
        const Clock::duration wall = Clock::now() - start;
        const std::chrono::nanoseconds cpu = threadCpuTime() - cpuStart;
        if (!lastBlockPassedThrough())
            return BlockTiming{std::chrono::duration_cast<std::chrono::nanoseconds>(wall), cpu};
    }
    return std::nullopt;
}

} // namespace pl3bench
