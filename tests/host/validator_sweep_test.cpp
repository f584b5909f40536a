// What plug-in validators do: several sample rates and block sizes, a 0-frame
// block first, noise in, each loop and each effect in turn, parameters fuzzed
// between blocks. The output never holds NaN, an infinity or a subnormal
// number, and processReplacing never allocates.
#include "audiobuffer.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>

namespace {
// Counts the allocations made while the flag is up, on any thread.
thread_local bool countingAllocations = false;
size_t allocationsCounted = 0;
} // namespace

// The sanitizers bring allocators of their own; the count is taken in the
// other builds.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The replacements pair malloc with free themselves, which the compiler cannot
// see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size)
{
    if (countingAllocations) ++allocationsCounted;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept
{
    std::free(memory);
}
constexpr bool kCountsAllocations = true;
#else
constexpr bool kCountsAllocations = false;
#endif

namespace {

struct SweepCase {
    double sampleRate;
    VstInt32 blockSize; // 0: varying sizes up to 1,024
};

class ValidatorSweep : public ::testing::TestWithParam<SweepCase> {};

float fuzzedValue(std::mt19937& random)
{
    switch (random() % 8) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return std::numeric_limits<float>::max() * (random() % 2 ? 1.0f : -1.0f);
    case 2:
        return float(random() % 5000) / 1000.0f - 2.0f;
    default:
        return float(random() % 1001) / 1000.0f;
    }
}

// One instance in a session, fed noise block by block; every block is checked.
class SweepRig {
public:
    SweepRig(double sampleRate, VstInt32 maxBlock, uint32_t seed)
        : input(2, size_t(maxBlock)), output(2, size_t(maxBlock)), random(seed)
    {
        host.setSampleRate(sampleRate);
        plugin.startSession(sampleRate, maxBlock);
    }

    void block(VstInt32 frames)
    {
        for (int c = 0; c < 2; ++c)
            for (VstInt32 i = 0; i < frames; ++i)
                input.at(c, size_t(i)) = noise(random);
        host.transport().nextBlock(frames);
        allocationsCounted = 0;
        countingAllocations = true;
        plugin.processReplacing(input.pointersAt(0), output.pointersAt(0), frames);
        countingAllocations = false;
        EXPECT_EQ(allocationsCounted, 0u) << "a block of " << frames << " frames allocated";
        for (int c = 0; c < 2; ++c)
            for (VstInt32 i = 0; i < frames; ++i) {
                const float v = output.at(c, size_t(i));
                ASSERT_TRUE(std::isfinite(v) && std::fpclassify(v) != FP_SUBNORMAL)
                    << "frame " << i << " holds " << v;
            }
    }

    hostcore::Host host;
    hostcore::LoadedPlugin plugin{PL3_PLUGIN_PATH, host};
    hostcore::PlanarBuffer input;
    hostcore::PlanarBuffer output;
    std::mt19937 random;
    std::uniform_real_distribution<float> noise{-1.0f, 1.0f};
};

TEST_P(ValidatorSweep, OutputStaysNormalAndNoBlockAllocates)
{
    const SweepCase sweep = GetParam();
    const VstInt32 maxBlock = sweep.blockSize ? sweep.blockSize : 1024;
    SweepRig rig(sweep.sampleRate, maxBlock, uint32_t(sweep.sampleRate) + uint32_t(maxBlock));
    auto& plugin = rig.plugin;

    rig.block(0);
    // The tempo falls every block, so every block also resizes the loop playing.
    rig.host.transport().scheduleTempoRamp(0.0, 32.0, 70.0);
    rig.host.transport().play();
    const auto blocksPerPhase = VstInt32(sweep.sampleRate / maxBlock / 2) + 1; // half a second
    // Each loop with its own effect, then each effect on loop 1.
    for (int phase = 0; phase < 8; ++phase) {
        const int loop = phase < 4 ? phase : 0;
        const int effect = phase < 4 ? phase : phase - 4;
        plugin.setParameter(20 + loop, float(effect) * 0.25f);
        plugin.setParameter(16 + loop, 1.0f);
        plugin.setParameter(loop, 1.0f);
        for (VstInt32 b = 0; b < blocksPerPhase; ++b) {
            rig.block(sweep.blockSize ? sweep.blockSize : VstInt32(rig.random() % 1025));
            if (b % 4 == 3)
                plugin.setParameter(VstInt32(rig.random() % 24), fuzzedValue(rig.random));
        }
        plugin.setParameter(loop, 0.0f);
    }
}

// Validators change the sample rate without suspending, while a loop with an effect plays.
TEST(ValidatorSweepRates, ChangingTheRateWithoutSuspendingKeepsTheOutputNormal)
{
    SweepRig rig(44100.0, 512, 7);
    rig.host.transport().play();
    rig.plugin.setParameter(20, 0.75f); // Phazer
    rig.plugin.setParameter(16, 1.0f);
    rig.plugin.setParameter(0, 1.0f);
    for (const double rate : {44100.0, 96000.0, 48000.0, 192000.0, 44100.0}) {
        rig.plugin.setSampleRate(float(rate));
        rig.host.setSampleRate(rate);
        for (int b = 0; b < 200; ++b) {
            rig.block(512);
            if (b == 100) rig.plugin.setParameter(4, fuzzedValue(rig.random));
        }
    }
}

// The count sees the plug-in's own allocations: resume makes one.
TEST(AllocationCount, SeesThePluginsAllocations)
{
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    allocationsCounted = 0;
    countingAllocations = true;
    plugin.mainsChanged(true);
    countingAllocations = false;
    if (kCountsAllocations) {
        EXPECT_GE(allocationsCounted, 1u);
    }
}

std::vector<SweepCase> sweepCases()
{
    std::vector<SweepCase> cases;
    for (double rate : {44100.0, 48000.0, 96000.0})
        for (VstInt32 size : {64, 128, 256, 512, 1024, 0})
            cases.push_back({rate, size});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(RatesAndBlocks, ValidatorSweep, ::testing::ValuesIn(sweepCases()),
                         [](const auto& info) {
                             return std::to_string(int(info.param.sampleRate)) + "Hz_" +
                                    (info.param.blockSize ? std::to_string(info.param.blockSize)
                                                          : std::string("varying"));
                         });

} // namespace
