// A loaded PravoLindel3.so with a rolling transport and an input whose frames
// are all distinct: left frame i holds i + 1 and right frame i holds −(i + 1),
// so every output frame tells which input frame it came from.
#pragma once

#include "audiobuffer.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace looperrig {

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
    LooperRig(size_t frames, double sampleRate = 44100.0, double tempo = 120.0,
              VstInt32 blockSize = 512)
        : input(2, frames), output(2, frames), blockSize(blockSize)
    {
        for (size_t i = 0; i < frames; ++i) {
            input.at(0, i) = float(i + 1);
            input.at(1, i) = -float(i + 1);
        }
        host.setSampleRate(sampleRate);
        host.transport().setTempo(tempo);
        plugin = std::make_unique<hostcore::LoadedPlugin>(PL3_PLUGIN_PATH, host);
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
        plugin->process(input.pointersAt(done), output.pointersAt(done), frames);
        done += size_t(frames);
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
    // names, stopping at the first mismatch.
    void expectSources(size_t from, size_t to, const std::function<int64_t(size_t)>& expected)
    {
        for (size_t f = from; f < to; ++f) {
            const int64_t want = expected(f);
            const int64_t got = source(f);
            if (got != want) {
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
};

} // namespace looperrig
