// The audio thread: renders block after block through the plug-in, in real time, feeding it the
// looping song and handing every output frame to the writer's ring and, if there is one, to the
// sound device. Everything it touches is allocated before it starts; it takes no lock and
// shares only atomics with the other threads. (The host core's callback does lock briefly when
// the plug-in asks it to update its display, which it records.)
#pragma once

#include "audiobuffer.h"
#include "blockclock.h"
#include "blocksink.h"
#include "framering.h"
#include "loadedplugin.h"
#include "notefeed.h"
#include "song.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace pl3play {

class AudioThread {
public:
    static constexpr int kFileChannels = 2;

    // `blockLimit` 0 runs until stop(). The plug-in's session must be started, and its
    // transport set, before start(); `sound` may be null. The song frame of the block in
    // progress (its first frame) is published in `songFrame`. `notes`, if there are any, go
    // to the plug-in before each block is processed; once started, only the thread uses the feed.
    AudioThread(hostcore::LoadedPlugin& plugin, const Song& song, FrameRing& ring, BlockSink* sound,
                std::int32_t blockFrames, std::uint64_t blockLimit,
                std::atomic<std::int64_t>& songFrame, NoteFeed* notes = nullptr);
    ~AudioThread();
    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;

    void start();
    // Any thread: asks the thread to stop after its block and waits for it.
    void stop();
    // Any thread: the block limit is reached (the thread has ended by itself).
    bool finished() const { return finished_.load(); }
    // Any thread: frames the ring had no room for.
    std::uint64_t droppedFrames() const { return dropped_.load(); }

private:
    void run();
    // Real-time from here on: no allocation, no lock.
    void renderBlock(std::int64_t frame);
    void loadInput(std::int64_t frame);
    void interleaveOutput();
    void deliver();

    hostcore::LoadedPlugin& plugin_;
    const Song& song_;
    FrameRing& ring_;
    BlockSink* sound_;
    NoteFeed* notes_;
    std::int32_t blockFrames_;
    std::uint64_t blockLimit_;
    BlockClock clock_;
    hostcore::PlanarBuffer inputs_;
    hostcore::PlanarBuffer outputs_;
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
    int pluginOutputs_;
    std::vector<float> interleaved_;

    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::int64_t>& songFrame_;
    std::atomic<std::uint64_t> dropped_{0};
    std::thread thread_;
};

} // namespace pl3play
