// The loop effects and the loop stack as they come out of the real library.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using looperrig::kFadeFrames;
using looperrig::LooperRig;

namespace {

constexpr size_t kBeat = 22050;
constexpr size_t kBar = 4 * kBeat;
constexpr size_t kCapture = 5 * kBeat; // a loop switched on at frame 100,000

// Loop1 ("1 bar") with its effect on: fxSelect picks the effect.
void loopWithEffect(LooperRig& rig, float fxSelect, size_t end)
{
    rig.plugin->setParameter(20, fxSelect);
    rig.plugin->setParameter(16, 1.0f);
    rig.host.transport().play();
    rig.renderTo(100000);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(end);
}

void fill(LooperRig& rig, float left, float right)
{
    for (size_t f = 0; f < rig.input.frames(); ++f) {
        rig.input.at(0, f) = left;
        rig.input.at(1, f) = right;
    }
}

TEST(LooperEffects, BitReducerHoldsEveryTwentiethFrameOneFrameLate)
{
    LooperRig rig(300000);
    loopWithEffect(rig, 0.0f, 300000);
    const int64_t first = int64_t(kCapture - kBar);
    EXPECT_EQ(rig.source(kCapture), first);
    rig.expectSources(kCapture + 1, kCapture + kBar, [&](size_t f) {
        const size_t r = f - kCapture;
        return first + int64_t(20 * ((r - 1) / 20));
    });
    EXPECT_EQ(rig.source(kCapture + 20), first);      // the old held frame still
    EXPECT_EQ(rig.source(kCapture + 21), first + 20); // the new one from the next frame
}

TEST(LooperEffects, BitReducerAtDoubleSpeedTurnsTwoIntoOnePointNineNine)
{
    LooperRig rig(300000);
    rig.plugin->setParameter(8, 1.0f); // speed 2.0
    loopWithEffect(rig, 0.0f, 300000);
    // The increment becomes 1.99 on the first frame and stays there; the held
    // frame still moves on with every read index that falls on the grid.
    const int64_t first = int64_t(kCapture - kBar);
    double position = 0.0;
    int64_t held = 0;
    for (size_t f = kCapture; f < kCapture + 40000; ++f) {
        ASSERT_EQ(rig.source(f), first + held) << f;
        const auto index = int64_t(position);
        if (index % 20 == 0) held = index;
        position += 1.99;
    }
    EXPECT_EQ(rig.plugin->getParameter(8), 1.0f);
}

TEST(LooperEffects, AutopanStartsOnTheRightAndSwapsEveryPass)
{
    LooperRig rig(420000);
    loopWithEffect(rig, 0.25f, 250000);
    // Past each jump's crossfade; the silenced side stays silent through it.
    for (size_t f = kCapture; f < kCapture + kBar; ++f) {
        ASSERT_EQ(rig.output.at(0, f), 0.0f) << f;
        if (f >= kCapture + kFadeFrames) {
            ASSERT_EQ(rig.output.at(1, f), -float(f - kBar + 1)) << f;
        }
    }
    for (size_t f = kCapture + kBar + kFadeFrames; f < 250000; ++f) {
        ASSERT_EQ(rig.output.at(0, f), float(f - 2 * kBar + 1)) << f;
        ASSERT_EQ(rig.output.at(1, f), 0.0f) << f;
    }
    // Stopped during the second pass and captured anew: the left side goes on.
    rig.plugin->setParameter(0, 0.0f);
    rig.renderTo(270000);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(420000);
    const size_t recapture = 13 * kBeat; // first boundary after 270,000
    for (size_t f = recapture + kFadeFrames; f < recapture + kBar; ++f) {
        ASSERT_EQ(rig.output.at(0, f), float(f - kBar + 1)) << f;
        ASSERT_EQ(rig.output.at(1, f), 0.0f) << f;
    }
}

TEST(LooperEffects, HipassOnAConstantDecaysAndStaysWithinRange)
{
    LooperRig rig(400000);
    fill(rig, 0.5f, 0.5f);
    loopWithEffect(rig, 0.5f, 400000);
    for (size_t f = kCapture; f < 400000; ++f)
        for (int c = 0; c < 2; ++c) {
            const float v = rig.output.at(c, f);
            ASSERT_TRUE(std::isfinite(v) && v >= -1.0f && v <= 1.0f) << f;
        }
    EXPECT_GT(rig.output.at(0, kCapture), 0.4f);
    for (size_t f = 390000; f < 400000; ++f)
        ASSERT_LT(std::fabs(rig.output.at(0, f)), 1.0e-3f) << f;
}

TEST(LooperEffects, PhazerIsSilentOnSilenceAndCouplesLeftIntoRight)
{
    LooperRig silent(300000);
    fill(silent, 0.0f, 0.0f);
    loopWithEffect(silent, 0.75f, 300000);
    for (size_t f = 0; f < 300000; ++f)
        ASSERT_EQ(silent.output.at(0, f) + std::fabs(silent.output.at(1, f)), 0.0f) << f;

    LooperRig impulse(200000);
    fill(impulse, 0.0f, 0.0f);
    const size_t at = kCapture - kBar + 100; // inside the bar the loop will capture
    impulse.input.at(0, at) = 1.0f;
    loopWithEffect(impulse, 0.75f, 200000);
    const size_t played = kCapture + 100;
    EXPECT_EQ(impulse.output.at(0, played - 1), 0.0f);
    EXPECT_NE(impulse.output.at(0, played), 0.0f);
    EXPECT_NE(impulse.output.at(1, played), 0.0f); // same stages, right after left
    for (size_t f = kCapture; f < 200000; ++f)
        ASSERT_TRUE(std::isnormal(impulse.output.at(0, f)) || impulse.output.at(0, f) == 0.0f)
            << "subnormal or non-finite output at " << f;
}

TEST(LooperEffects, NegativeEffectSelectionAppliesNothing)
{
    LooperRig rig(300000);
    loopWithEffect(rig, -0.5f, 300000);
    rig.expectSources(kCapture, 300000,
                      [&](size_t f) { return int64_t(kCapture - kBar + (f - kCapture) % kBar); });
}

TEST(LooperEffects, EffectSwitchIsHeardAtOnce)
{
    LooperRig rig(300000);
    rig.plugin->setParameter(20, 0.25f);
    rig.host.transport().play();
    rig.renderTo(100000);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(150000);
    EXPECT_NE(rig.output.at(0, 149999), 0.0f);
    rig.plugin->setParameter(16, 1.0f); // Autopan on mid-beat
    rig.renderTo(150001);
    EXPECT_EQ(rig.output.at(0, 150000), 0.0f);
}

TEST(LooperStack, LaterLoopsChangePlaybackAndSwitchingOffHandsItBack)
{
    LooperRig rig(260000);
    rig.host.transport().play();
    rig.renderTo(100000);
    rig.plugin->setParameter(0, 1.0f); // Loop1 "1 bar": captures at 110,250
    rig.renderTo(120000);
    rig.plugin->setParameter(1, 1.0f); // Loop2 "1 beat": shrinks at 132,300
    rig.renderTo(140000);
    rig.plugin->setParameter(2, 1.0f); // Loop3 "3/4 beat", 16,537 frames: at 154,350
    rig.renderTo(160000);
    rig.plugin->setParameter(1, 0.0f); // Loop3 stays current: nothing changes
    rig.renderTo(180000);
    rig.plugin->setParameter(2, 0.0f); // back to Loop1 at 198,450
    rig.renderTo(260000);

    const int64_t start = int64_t(kCapture - kBar);
    rig.expectSources(kCapture, 132300, [&](size_t f) { return start + int64_t(f - kCapture); });
    rig.expectSources(132300, 154350,
                      [&](size_t f) { return start + int64_t((f - 132300) % kBeat); });
    rig.expectSources(154350, 198450,
                      [&](size_t f) { return start + int64_t((f - 154350) % 16537); });
    // A bar has passed since the capture: the grown loop starts from its top.
    rig.expectSources(198450, 260000, [&](size_t f) { return start + int64_t(f - 198450); });
}

TEST(LooperStack, OnAndOffBeforeTheCaptureLeavesTheEngineIdle)
{
    LooperRig rig(300000);
    rig.host.transport().play();
    rig.renderTo(100000);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(105000);
    rig.plugin->setParameter(0, 0.0f);
    rig.renderTo(300000);
    for (size_t f = 0; f < 300000; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
}

TEST(LooperStack, ASpeedChangeOfTheCurrentLoopWaitsForTheBeat)
{
    LooperRig rig(300000);
    rig.host.transport().play();
    rig.renderTo(100000);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(120000);
    rig.plugin->setParameter(8, 1.0f); // double speed from 132,300
    rig.renderTo(300000);
    const int64_t start = int64_t(kCapture - kBar);
    rig.expectSources(kCapture, 132300, [&](size_t f) { return start + int64_t(f - kCapture); });
    rig.expectSources(132300, 132300 + 30000, [&](size_t f) {
        return start + int64_t((132300 - kCapture) + 2 * (f - 132300));
    });
}

} // namespace

namespace {

// The recursive effects, Hipass and Phazer, by their FX sel values.
class RecursiveEffect : public testing::TestWithParam<float> {};

// One NaN upstream lands in the captured bar and is played once a pass.
TEST_P(RecursiveEffect, ANaNInTheLoopSilencesItsFrameOnlyAndEveryPassRecovers)
{
    LooperRig rig(300000);
    for (size_t f = 0; f < rig.input.frames(); ++f) {
        rig.input.at(0, f) = 0.5f * std::sin(float(f) * 0.05f);
        rig.input.at(1, f) = 0.25f * std::sin(float(f) * 0.013f);
    }
    const size_t at = kCapture - kBar + 100; // inside the bar the loop will capture
    rig.input.at(0, at) = std::numeric_limits<float>::quiet_NaN();
    loopWithEffect(rig, GetParam(), 300000);
    for (size_t f = kCapture; f < 300000; ++f) {
        const bool bad = (f - kCapture) % kBar == 100;
        for (int c = 0; c < 2; ++c) {
            const float v = rig.output.at(c, f);
            ASSERT_TRUE(bad ? v == 0.0f : std::isfinite(v)) << "frame " << f << " channel " << c;
        }
        if (bad) {
            ASSERT_NE(rig.output.at(0, f + 1), 0.0f) << "frame " << f + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HipassAndPhazer, RecursiveEffect, testing::Values(0.5f, 0.75f));

} // namespace
