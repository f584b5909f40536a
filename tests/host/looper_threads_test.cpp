// One thread renders while another sets and reads parameters, as a host's audio
// and user-interface threads do. Built with the tsan preset, ThreadSanitizer
// checks every access the two make to shared engine state.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cmath>
#include <random>
#include <thread>

using looperrig::LooperRig;

namespace {

// With notes, the audio thread plays the loop, FX and reverse buttons too, so
// only the other parameters are sure to keep what the other thread set last.
class LooperThreadsPlaying : public testing::TestWithParam<bool> {};

TEST_P(LooperThreadsPlaying, RenderingWhileParametersChangeStaysFiniteAndKeepsTheLastValues)
{
    const bool withNotes = GetParam();
    constexpr size_t kFrames = 44100 * 8; // eight seconds of audio
    LooperRig rig(kFrames, 44100.0, 120.0, 256);
    for (size_t f = 0; f < kFrames; ++f) {
        rig.input.at(0, f) = std::sin(float(f) * 0.01f) * 0.5f;
        rig.input.at(1, f) = std::cos(float(f) * 0.013f) * 0.5f;
    }
    // Each of the 24 notes in turn, pressed in one round and let go in the next.
    for (size_t k = 0; withNotes && k * 100 < kFrames; ++k)
        rig.sendAt(k * 100, k / 24 % 2 == 0 ? 0x90 : 0x80, uint8_t(36 + k % 24), 100);
    rig.host.transport().play();

    std::barrier start(2);
    std::atomic<bool> rendering{true};
    float lastSet[24];
    for (VstInt32 i = 0; i < 24; ++i)
        lastSet[i] = rig.plugin->getParameter(i);

    std::thread audio([&] {
        start.arrive_and_wait();
        rig.renderTo(kFrames);
        rendering = false;
    });
    std::thread control([&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<VstInt32> index(0, 23);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        start.arrive_and_wait();
        while (rendering) {
            const VstInt32 i = index(random);
            const float v = value(random);
            rig.plugin->setParameter(i, v);
            lastSet[i] = v;
            rig.plugin->getParameter(index(random));
            rig.plugin->parameterDisplay(index(random));
        }
    });
    audio.join();
    control.join();

    for (size_t f = 0; f < kFrames; ++f)
        for (int c = 0; c < 2; ++c)
            ASSERT_TRUE(std::isfinite(rig.output.at(c, f))) << f;
    for (VstInt32 i = 0; i < 24; ++i) {
        const bool isSwitch = i < 4 || (i >= 12 && i < 20);
        if (isSwitch && withNotes) continue;
        const float expected = isSwitch ? (lastSet[i] >= 0.5f ? 1.0f : 0.0f) : lastSet[i];
        EXPECT_EQ(rig.plugin->getParameter(i), expected) << "parameter " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Notes, LooperThreadsPlaying, testing::Bool(), [](const auto& info) {
    return info.param ? "WithNotes" : "WithoutNotes";
});

// The host's user-interface thread and the editor's poll thread switch the same
// loops on and off at once while the audio thread renders. Whatever the
// interleaving, the loops left on are the ones that play once the storm is over,
// and with none left on the input comes back. A loop may have grown from a
// shorter one into frames never recorded, which play the input: within a bar it
// comes round to its recorded start.
TEST(LooperThreads, LoopSwitchStormsFromTwoThreadsLeaveTheLoopsOnPlaying)
{
    constexpr size_t kBeat = 22050;
    constexpr size_t kStormFrames = kBeat;
    constexpr size_t kBar = 4 * kBeat;
    constexpr size_t kSettleFrames = kBeat + kBar; // a capture comes within a beat
    constexpr int kStorms = 12;
    LooperRig rig(kStorms * (kStormFrames + kSettleFrames), 44100.0, 120.0, 256);
    rig.host.transport().play();
    for (int storm = 0; storm < kStorms; ++storm) {
        std::barrier start(3);
        const auto switcher = [&](unsigned seed) {
            std::mt19937 random(seed);
            std::uniform_int_distribution<VstInt32> loop(0, 3);
            std::bernoulli_distribution on(0.5);
            start.arrive_and_wait();
            for (int k = 0; k < 400; ++k)
                rig.plugin->setParameter(loop(random), on(random) ? 1.0f : 0.0f);
        };
        std::thread ui(switcher, 2 * storm);
        std::thread poll(switcher, 2 * storm + 1);
        start.arrive_and_wait();
        rig.renderTo(rig.done + kStormFrames);
        ui.join();
        poll.join();
        rig.renderTo(rig.done + kSettleFrames);

        bool anyOn = false;
        for (VstInt32 k = 0; k < 4; ++k)
            anyOn = anyOn || rig.plugin->getParameter(k) == 1.0f;
        size_t passed = 0;
        for (size_t f = rig.done - kBar; f < rig.done; ++f)
            passed += rig.passesThrough(f) ? 1 : 0;
        if (anyOn)
            EXPECT_LT(passed, kBar) << "storm " << storm << ": a loop shows on and never plays";
        else
            EXPECT_EQ(passed, kBar) << "storm " << storm << ": no loop is on, yet one plays";
    }
}

} // namespace
