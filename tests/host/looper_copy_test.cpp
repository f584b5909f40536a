// A capture's stretch reaches the loop buffer over the blocks after the
// capture and is read from the ring meanwhile: what plays is the same frame
// for frame whichever way it is read.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using looperrig::LooperRig;

namespace {

constexpr size_t kBeat = 22050; // 44,100 Hz at 120 BPM
constexpr size_t kBar = 4 * kBeat;
constexpr size_t kRingFrames = 0x800000;

// Loop 1 ("1 bar") switched on at `at`, rendered to `end`, transport from 0.
void rollWithLoopOne(LooperRig& rig, size_t at, size_t end)
{
    rig.host.transport().play();
    rig.renderTo(at);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(end);
}

// The ring comes round to its start after 8,388,608 frames; the beat boundary
// after that captures a bar of which most lies before the ring's end and the
// rest after its start.
TEST(LooperCopy, AStretchAcrossTheRingsEndPlaysWholeBothWays)
{
    const size_t capture = (kRingFrames / kBeat + 1) * kBeat; // 8,401,050
    ASSERT_LT(capture - kBar, kRingFrames);
    const size_t end = capture + 3 * kBar;
    for (const bool backward : {false, true}) {
        LooperRig rig(end, 44100.0, 120.0, 1024);
        if (backward) rig.plugin->setParameter(12, 1.0f); // rev1
        rollWithLoopOne(rig, capture - 1000, end);
        const auto first = int64_t(capture - kBar);
        if (!backward) {
            rig.expectSources(capture, end,
                              [&](size_t f) { return first + int64_t((f - capture) % kBar); });
            continue;
        }
        rig.expectSources(capture, end, [&](size_t f) {
            if (f == capture) return first;
            return first + int64_t(kBar - 1 - (f - capture - 1) % kBar);
        });
    }
}

// At 1.2 BPM a bar is longer than the ring: the stretch is the whole ring, whose
// oldest frame the capture frame has just replaced, and which the ring would
// overwrite frame by frame as it plays. It is copied at once.
TEST(LooperCopy, AStretchOfTheWholeRingIsTakenAtTheCapture)
{
    constexpr size_t kSlowBeat = 2205000; // 44,100 Hz at 1.2 BPM
    const size_t capture = 4 * kSlowBeat; // the first beat boundary after the ring is full
    ASSERT_GT(capture, kRingFrames);
    const size_t end = capture + 200000;
    LooperRig rig(end, 44100.0, 1.2, 4096);
    rollWithLoopOne(rig, kRingFrames, end);
    EXPECT_EQ(rig.source(capture), int64_t(capture));
    rig.expectSources(capture + 1, end, [&](size_t f) { return int64_t(f - kRingFrames); });
}

struct Playback {
    const char* name;
    VstInt32 parameter; // set to value before the loop goes on; -1 for none
    float value;
};

// The smallest blocks read the most frames from the ring before the copy is
// through, the largest the fewest: the outputs must agree to the bit.
TEST(LooperCopy, EveryWayOfPlayingSoundsTheSameWhateverTheBlockSize)
{
    const Playback playbacks[] = {
        {"forward", -1, 0.0f},
        {"backward", 12, 1.0f},
        {"faster", 8, 0.8f},
        {"Bit Reducer", 16, 1.0f}, // FX1 on; FX sel 1 stays at 0, the first effect
    };
    constexpr size_t kFrames = 300000;
    for (const Playback& playback : playbacks) {
        std::vector<std::unique_ptr<LooperRig>> rigs;
        for (VstInt32 block : {16, 4096}) {
            rigs.push_back(std::make_unique<LooperRig>(kFrames, 44100.0, 120.0, block));
            LooperRig& rig = *rigs.back();
            if (playback.parameter >= 0)
                rig.plugin->setParameter(playback.parameter, playback.value);
            rollWithLoopOne(rig, 100000, kFrames);
        }
        EXPECT_FALSE(rigs[0]->passesThrough(5 * kBeat)) << playback.name << ": no loop played";
        for (size_t f = 0; f < kFrames; ++f)
            for (int channel = 0; channel < 2; ++channel)
                ASSERT_EQ(rigs[0]->output.at(channel, f), rigs[1]->output.at(channel, f))
                    << playback.name << ", frame " << f;
    }
}

} // namespace
