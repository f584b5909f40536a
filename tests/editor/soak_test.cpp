// A bounded soak: eight instances rendering 64-frame blocks in real time on one
// thread, a second thread sweeping every parameter, a third opening and closing
// their editors. Nothing crashes, no parameter is lost; under the tsan preset
// ThreadSanitizer watches all of it.
#include "audiobuffer.h"
#include "editorrig.h"
#include "loadedplugin.h"
#include "realtimeaudio.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <time.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kInstances = 8;
constexpr VstInt32 kBlock = 64;
constexpr double kRate = 44100.0;
constexpr auto kDuration = 60s;

struct Instance {
    hostcore::Host host;
    std::unique_ptr<hostcore::LoadedPlugin> plugin;
    std::array<std::atomic<float>, 24> lastSet{};
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

float expectedReading(VstInt32 index, float set)
{
    const bool isSwitch = index < 4 || (index >= 12 && index < 20);
    return isSwitch ? (set >= 0.5f ? 1.0f : 0.0f) : set;
}

TEST(Soak, RenderSweepAndEditorsTogether)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
    std::array<Instance, kInstances> instances;
    for (auto& instance : instances) {
        instance.host.setSampleRate(kRate);
        instance.plugin = std::make_unique<hostcore::LoadedPlugin>(PL3_PLUGIN_PATH, instance.host);
        instance.plugin->startSession(kRate, kBlock);
        instance.host.transport().play();
        for (VstInt32 i = 0; i < 24; ++i)
            instance.lastSet[size_t(i)] = instance.plugin->getParameter(i);
    }

    std::atomic<bool> running{true};
    std::atomic<bool> finite{true};
    double worstFraction = 0.0;
    double worstCpuFraction = 0.0;
    double worstReferenceFraction = 0.0;
    bool realTimePriority = false;
    std::barrier start(3);

    std::thread audio([&] {
        realTimePriority = realtimeaudio::raiseToRealTimePriority();
        hostcore::PlanarBuffer input(2, kBlock, 0.0f);
        hostcore::PlanarBuffer output(2, kBlock);
        const auto period = std::chrono::duration<double>(kBlock / kRate);
        start.arrive_and_wait();
        const auto begin = Clock::now();
        auto next = begin;
        for (uint32_t block = 0; Clock::now() - begin < kDuration; ++block) {
            for (auto& instance : instances) {
                // The block's input, timed the same way: work of about a block's size that
                // the plug-in has no part in, so its worst is the machine's own.
                const auto referenceStart = Clock::now();
                realtimeaudio::fillSine(input, block);
                worstReferenceFraction =
                    std::max(worstReferenceFraction, (Clock::now() - referenceStart) / period);
                const auto blockStart = Clock::now();
                const double cpuStart = threadCpuSeconds();
                instance.plugin->process(input.pointersAt(0), output.pointersAt(0), kBlock);
                const std::chrono::duration<double> took = Clock::now() - blockStart;
                worstFraction = std::max(worstFraction, took / period);
                worstCpuFraction =
                    std::max(worstCpuFraction, (threadCpuSeconds() - cpuStart) / period.count());
                if (!std::isfinite(output.at(0, 0))) finite = false;
            }
            next += std::chrono::duration_cast<Clock::duration>(period);
            std::this_thread::sleep_until(next);
        }
        running = false;
    });
    std::thread sweep([&] {
        start.arrive_and_wait();
        for (uint32_t step = 0; running; ++step) {
            Instance& instance = instances[step % kInstances];
            const auto index = VstInt32(step / kInstances % 24);
            const float value = float(step % 101) / 100.0f;
            instance.plugin->setParameter(index, value);
            instance.lastSet[size_t(index)] = value;
            std::this_thread::sleep_for(200us);
        }
    });
    std::array<std::unique_ptr<editorrig::HostWindow>, kInstances> windows;
    for (auto& window : windows)
        window = std::make_unique<editorrig::HostWindow>();
    start.arrive_and_wait();
    for (uint32_t round = 0; running; ++round) {
        auto& plugin = *instances[round % kInstances].plugin;
        plugin.editorOpen(windows[round % kInstances]->id());
        std::this_thread::sleep_for(150ms);
        plugin.editorClose();
    }
    audio.join();
    sweep.join();

    EXPECT_TRUE(finite);
    for (auto& instance : instances)
        for (VstInt32 i = 0; i < 24; ++i)
            EXPECT_EQ(instance.plugin->getParameter(i),
                      expectedReading(i, instance.lastSet[size_t(i)]))
                << "parameter " << i;
    // A figure for the notes, not a pass mark: these machines are noisy.
    std::printf("worst block %.1f %% of its real-time duration (%.1f %% on the CPU); worst "
                "input fill on the same thread %.1f %%; audio thread %s\n",
                100.0 * worstFraction, 100.0 * worstCpuFraction, 100.0 * worstReferenceFraction,
                realTimePriority ? "real-time (SCHED_FIFO)" : "at normal priority");
    for (auto& instance : instances)
        instance.plugin->close();
}

} // namespace
