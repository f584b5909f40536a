#include "audiothread.h"

#include "interruptcleanup.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cstring>

namespace pl3play {

namespace {

// A plug-in with fewer pins still gets two of each: the extra ones are never read.
int pinsFor(int declared)
{
    return std::max(declared, AudioThread::kFileChannels);
}

// As hosts run their audio threads where the system lets them: the first-in first-out
// real-time class, above the UI process and everything else of normal priority. Refused (no
// privilege), the thread plays on at normal priority.
void raiseToRealTimePriority()
{
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
}

std::vector<float*> pointersTo(hostcore::PlanarBuffer& buffer)
{
    std::vector<float*> pointers;
    for (int c = 0; c < buffer.channels(); ++c)
        pointers.push_back(buffer.channel(c));
    return pointers;
}

} // namespace

AudioThread::AudioThread(hostcore::LoadedPlugin& plugin, const Song& song, FrameRing& ring,
                         BlockSink* sound, std::int32_t blockFrames, std::uint64_t blockLimit,
                         std::atomic<std::int64_t>& songFrame, NoteFeed* notes)
    : plugin_(plugin), song_(song), ring_(ring), sound_(sound), notes_(notes),
      blockFrames_(blockFrames), blockLimit_(blockLimit), clock_(song.sampleRate, blockFrames),
      inputs_(pinsFor(plugin.effect().numInputs), static_cast<std::size_t>(blockFrames)),
      outputs_(pinsFor(plugin.effect().numOutputs), static_cast<std::size_t>(blockFrames)),
      inputPointers_(pointersTo(inputs_)), outputPointers_(pointersTo(outputs_)),
      pluginOutputs_(plugin.effect().numOutputs),
      interleaved_(static_cast<std::size_t>(blockFrames) * kFileChannels), songFrame_(songFrame)
{
}

AudioThread::~AudioThread()
{
    stop();
}

void AudioThread::start()
{
    // The thread inherits the blocked signals: they all go to the main loop.
    pl3render::DeferredInterrupts deferred;
    thread_ = std::thread([this] { run(); });
}

void AudioThread::stop()
{
    stopRequested_.store(true);
    if (thread_.joinable()) thread_.join();
}

void AudioThread::run()
{
    const bool clockPaces = !sound_ || !sound_->keepsTime();
    raiseToRealTimePriority();
    clock_.start();
    for (std::uint64_t block = 0; !stopRequested_.load(); ++block) {
        if (blockLimit_ != 0 && block == blockLimit_) {
            finished_.store(true);
            return;
        }
        renderBlock(static_cast<std::int64_t>(block) * blockFrames_);
        deliver();
        if (clockPaces) clock_.waitForEndOf(block + 1);
    }
}

void AudioThread::renderBlock(std::int64_t frame)
{
    songFrame_.store(frame);
    loadInput(frame);
    if (notes_) plugin_.sendEvents(notes_->forBlock(frame, BlockClock::now()));
    plugin_.process(inputPointers_.data(), outputPointers_.data(), blockFrames_);
    interleaveOutput();
}

// Song frame p is frame p mod length of the song, which may end inside the block.
void AudioThread::loadInput(std::int64_t frame)
{
    const std::size_t length = song_.frames();
    const auto block = static_cast<std::size_t>(blockFrames_);
    for (int c = 0; c < inputs_.channels(); ++c) {
        const float* source = song_.samples.channel(std::min(c, song_.samples.channels() - 1));
        float* target = inputs_.channel(c);
        std::size_t at = static_cast<std::size_t>(frame) % length;
        for (std::size_t done = 0; done < block;) {
            const std::size_t run = std::min(block - done, length - at);
            std::memcpy(target + done, source + at, run * sizeof(float));
            done += run;
            at = 0;
        }
    }
}

// A plug-in with one output is heard, and written, on both channels.
void AudioThread::interleaveOutput()
{
    const float* left = outputs_.channel(0);
    const float* right = outputs_.channel(pluginOutputs_ > 1 ? 1 : 0);
    for (std::int32_t i = 0; i < blockFrames_; ++i) {
        interleaved_[2 * static_cast<std::size_t>(i)] = left[i];
        interleaved_[2 * static_cast<std::size_t>(i) + 1] = right[i];
    }
}

void AudioThread::deliver()
{
    if (!ring_.push(interleaved_.data(), static_cast<std::size_t>(blockFrames_)))
        dropped_.fetch_add(static_cast<std::uint64_t>(blockFrames_));
    if (sound_) sound_->play(interleaved_.data(), blockFrames_);
}

} // namespace pl3play
