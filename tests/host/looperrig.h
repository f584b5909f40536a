// A loaded PravoLindel3.so with a rolling transport and an input whose frames
// are all distinct: left frame i holds i + 1 and right frame i holds −(i + 1),
// so every output frame tells which input frame it came from.
#pragma once

#include "audiobuffer.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace looperrig {

// The longest crossfade over a jump in the output, and the largest step between
// the input frames of two successive output frames without one (double speed).
constexpr size_t kFadeFrames = 64;
constexpr int64_t kMaxStep = 2;

// The input frame an output frame was read from, or −1 if the two channels
// disagree or hold no input frame.
inline int64_t sourceOf(float left, float right)
{
    const auto frame = int64_t(left) - 1;
    if (frame < 0 || float(frame + 1) != left || right != -left) return -1;
    return frame;
}

class LooperRig {
public:
    // beforeSession, if given, gets the plug-in before it is opened, given its
    // rate and resumed, as a host restoring a session may.
    LooperRig(size_t frames, double sampleRate = 44100.0, double tempo = 120.0,
              VstInt32 blockSize = 512,
              const std::function<void(hostcore::LoadedPlugin&)>& beforeSession = {})
        : input(2, frames), output(2, frames), blockSize(blockSize)
    {
        for (size_t i = 0; i < frames; ++i) {
            input.at(0, i) = float(i + 1);
            input.at(1, i) = -float(i + 1);
        }
        host.setSampleRate(sampleRate);
        host.transport().setTempo(tempo);
        plugin = std::make_unique<hostcore::LoadedPlugin>(PL3_PLUGIN_PATH, host);
        if (beforeSession) beforeSession(*plugin);
        plugin->startSession(sampleRate, blockSize);
    }

    // Renders up to (not including) input frame `end` in blocks of at most blockSize;
    // a block never crosses `end`, so a parameter set next lands on that frame.
    void renderTo(size_t end)
    {
        while (done < end) {
            const auto frames = VstInt32(std::min<size_t>(blockSize, end - done));
            processBlock(frames);
        }
    }
    void processBlock(VstInt32 frames)
    {
        std::vector<hostcore::MidiMessage> messages;
        for (const auto& [frame, message] : scheduled)
            if (frame >= done && frame < done + size_t(frames)) {
                messages.push_back(message);
                messages.back().deltaFrames = VstInt32(frame - done);
            }
        plugin->sendEvents(messages);
        plugin->process(input.pointersAt(done), output.pointersAt(done), frames);
        done += size_t(frames);
    }

    // A MIDI message for input frame `frame`, sent with the block that holds it.
    void sendAt(size_t frame, uint8_t status, uint8_t data1, uint8_t data2)
    {
        scheduled.push_back({frame, {0, status, data1, data2}});
    }

    int64_t source(size_t frame) const
    {
        return sourceOf(output.at(0, frame), output.at(1, frame));
    }
    bool passesThrough(size_t frame) const
    {
        return output.at(0, frame) == input.at(0, frame) &&
               output.at(1, frame) == input.at(1, frame);
    }

    // Checks every output frame in [from, to) against the input frame `expected`
    // names, stopping at the first mismatch. Where the mapping jumps (a capture,
    // a wrap, a stop, a restart) the output crossfades for up to kFadeFrames
    // frames from what it left to what it jumps to: those frames are mixes of
    // two input frames and are left to the click tests.
    void expectSources(size_t from, size_t to, const std::function<int64_t(size_t)>& expected)
    {
        int64_t previous = from > 0 ? source(from - 1) : -1;
        size_t fadeEnd = 0;
        for (size_t f = from; f < to; ++f) {
            const int64_t want = expected(f);
            if (previous < 0 || std::abs(want - previous) > kMaxStep) fadeEnd = f + kFadeFrames;
            previous = want;
            const int64_t got = source(f);
            if (f >= fadeEnd && got != want) {
                ADD_FAILURE() << "output frame " << f << " came from input frame " << got
                              << ", expected " << want;
                return;
            }
        }
    }

    hostcore::Host host;
    std::unique_ptr<hostcore::LoadedPlugin> plugin;
    hostcore::PlanarBuffer input;
    hostcore::PlanarBuffer output;
    VstInt32 blockSize;
    size_t done = 0;
    std::vector<std::pair<size_t, hostcore::MidiMessage>> scheduled;
};

} // namespace looperrig
