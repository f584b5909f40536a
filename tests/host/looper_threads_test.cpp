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

TEST(LooperThreads, RenderingWhileParametersChangeStaysFiniteAndKeepsTheLastValues)
{
    constexpr size_t kFrames = 44100 * 8; // eight seconds of audio
    LooperRig rig(kFrames, 44100.0, 120.0, 256);
    for (size_t f = 0; f < kFrames; ++f) {
        rig.input.at(0, f) = std::sin(float(f) * 0.01f) * 0.5f;
        rig.input.at(1, f) = std::cos(float(f) * 0.013f) * 0.5f;
    }
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
        const float expected = isSwitch ? (lastSet[i] >= 0.5f ? 1.0f : 0.0f) : lastSet[i];
        EXPECT_EQ(rig.plugin->getParameter(i), expected) << "parameter " << i;
    }
}

} // namespace
