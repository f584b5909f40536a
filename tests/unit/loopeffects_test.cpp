#include "loopeffects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <set>
#include <utility>
#include <vector>

namespace {

bool isSubnormal(float v)
{
    return std::fpclassify(v) == FP_SUBNORMAL;
}

// A loop buffer whose frame i holds i on the left and -i on the right, so the output names the
// frame it came from.
struct RampLoop {
    std::vector<float> left;
    std::vector<float> right;
    explicit RampLoop(int frames) : left(frames), right(frames)
    {
        for (int i = 0; i < frames; ++i) {
            left[i] = static_cast<float>(i);
            right[i] = -static_cast<float>(i);
        }
    }
};

Phaser defaultPhaser()
{
    Phaser phaser;
    phaserSetDefaults(phaser);
    return phaser;
}

} // namespace

TEST(BitReducer, HoldsEveryTwentiethFrameOneFrameLate)
{
    const RampLoop loop(200);
    int32_t holdIndex = 0;
    double playIncrement = 1.0;
    for (int32_t readIndex = 0; readIndex < 120; ++readIndex) {
        float left = loop.left[readIndex];
        float right = loop.right[readIndex];
        bitReducer(holdIndex, playIncrement, loop.left[holdIndex], loop.right[holdIndex], readIndex,
                   left, right);
        // The frame at a grid index is taken up after that frame has been output.
        const int32_t held = readIndex == 0 ? 0 : (readIndex - 1) / 20 * 20;
        EXPECT_EQ(left, static_cast<float>(held)) << "read index " << readIndex;
        EXPECT_EQ(right, -static_cast<float>(held)) << "read index " << readIndex;
    }
    EXPECT_EQ(playIncrement, 1.0);
}

TEST(BitReducer, DoubleSpeedBecomesSlightlySlowerAndTheHeldFrameStillMoves)
{
    // Starting on an odd frame: at exactly 2.0 the read index would never meet the grid.
    const RampLoop loop(4200);
    int32_t holdIndex = 0;
    double playIncrement = 2.0;
    double playPos = 1.0;
    std::set<float> heard;
    for (int frame = 0; frame < 2000; ++frame) {
        const int32_t readIndex = static_cast<int32_t>(playPos);
        float left = loop.left[readIndex];
        float right = loop.right[readIndex];
        bitReducer(holdIndex, playIncrement, loop.left[holdIndex], loop.right[holdIndex], readIndex,
                   left, right);
        ASSERT_EQ(playIncrement, 1.99) << "frame " << frame;
        heard.insert(left);
        playPos += playIncrement;
    }
    EXPECT_GT(heard.size(), 5u);
    for (float value : heard)
        EXPECT_EQ(std::fmod(value, 20.0f), 0.0f) << value;
}

TEST(BitReducer, OtherIncrementsAreLeftAlone)
{
    const RampLoop loop(4);
    for (double increment : {0.5, 1.0, 1.5, 1.99, 1.9999999}) {
        int32_t holdIndex = 0;
        double playIncrement = increment;
        float left = 1.0f;
        float right = 1.0f;
        bitReducer(holdIndex, playIncrement, loop.left[holdIndex], loop.right[holdIndex], 1, left,
                   right);
        EXPECT_EQ(playIncrement, increment);
    }
}

TEST(Autopan, SilencesOneSideByPass)
{
    float left = 0.5f;
    float right = -0.25f;
    autopan(false, left, right);
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, -0.25f);

    left = 0.5f;
    right = -0.25f;
    autopan(true, left, right);
    EXPECT_EQ(left, 0.5f);
    EXPECT_EQ(right, 0.0f);
}

TEST(Hipass, BothChannelsShareOneFilterLeftFirst)
{
    tbiquad state{};
    float coefficient = 0.01f;
    float left = 0.5f;
    float right = -0.25f;
    hipass(state, coefficient, left, right);

    tbiquad reference{};
    const long double a = 0.01f;
    EXPECT_EQ(left, static_cast<float>(IIR_doIIRhigh(reference, a, 0.5f)));
    EXPECT_EQ(right, static_cast<float>(IIR_doIIRhigh(reference, a, -0.25f)));
    EXPECT_FLOAT_EQ(left, static_cast<float>(0.5L * std::pow(1 - a, 3)));
}

TEST(Hipass, ConstantHalfDecaysTowardZeroWithinUnitRange)
{
    tbiquad state{};
    float coefficient = 0.01f;
    float latePeak = 0.0f;
    for (int frame = 0; frame < 60000; ++frame) {
        float left = 0.5f;
        float right = 0.5f;
        hipass(state, coefficient, left, right);
        ASSERT_LE(std::fabs(left), 1.0f);
        ASSERT_LE(std::fabs(right), 1.0f);
        if (frame >= 59000) latePeak = std::max({latePeak, std::fabs(left), std::fabs(right)});
    }
    EXPECT_LT(latePeak, 1e-6f);
}

TEST(Hipass, CoefficientSweepsOnceFromOneHundredthToNineHundredths)
{
    tbiquad state{};
    float coefficient = 0.01f;
    auto frame = [&] {
        float left = 0.1f;
        float right = 0.1f;
        hipass(state, coefficient, left, right);
    };
    frame();
    EXPECT_EQ(coefficient, 0.01f + 1.5e-6f);
    for (int call = 2; call <= 53348; ++call)
        frame();
    EXPECT_LT(coefficient, 0.09f);
    frame(); // call 53,349 reaches the end of the sweep
    EXPECT_GE(coefficient, 0.09f);
    EXPECT_LT(coefficient, 0.0900015f);
    frame();
    EXPECT_EQ(coefficient, 0.0900015f);
    for (int call = 0; call < 100; ++call)
        frame();
    EXPECT_EQ(coefficient, 0.0900015f);
}

TEST(Hipass, RingDownEndsInExactZerosWithoutSubnormals)
{
    for (float start : {0.01f, 0.0900015f}) {
        tbiquad state{};
        float coefficient = start;
        for (int frame = 0; frame < 200000; ++frame) {
            float left = frame == 0 ? 1.0f : 0.0f;
            float right = 0.0f;
            hipass(state, coefficient, left, right);
            ASSERT_FALSE(isSubnormal(left)) << "frame " << frame;
            ASSERT_FALSE(isSubnormal(right)) << "frame " << frame;
            if (frame == 199999) {
                EXPECT_EQ(left, 0.0f);
                EXPECT_EQ(right, 0.0f);
            }
        }
        EXPECT_EQ(state.s0, 0.0L);
        EXPECT_EQ(state.s1, 0.0L);
        EXPECT_EQ(state.s2, 0.0L);
    }
}

TEST(Phaser, DefaultsSweepFrom440To1600HzAtHalfAHertz)
{
    Phaser phaser;
    for (PhaserStage& stage : phaser.stages)
        stage = PhaserStage{3.0f, 3.0f};
    phaser.lfoPhase = phaser.lastOutput = phaser.depth = 3.0f;
    phaserSetDefaults(phaser);
    for (const PhaserStage& stage : phaser.stages) {
        EXPECT_EQ(stage.a1, 0.0f);
        EXPECT_EQ(stage.zm1, 0.0f);
    }
    EXPECT_FLOAT_EQ(phaser.minCoefficient, 0.019954648f);
    EXPECT_FLOAT_EQ(phaser.maxCoefficient, 0.07256236f);
    EXPECT_FLOAT_EQ(phaser.feedback, 0.7f);
    EXPECT_EQ(phaser.lfoPhase, 0.0f);
    EXPECT_FLOAT_EQ(phaser.lfoIncrement, 7.123787e-5f);
    EXPECT_EQ(phaser.depth, 1.0f);
    EXPECT_EQ(phaser.lastOutput, 0.0f);
}

TEST(Phaser, SilenceStaysSilent)
{
    Phaser phaser = defaultPhaser();
    for (int frame = 0; frame < 10000; ++frame) {
        float left = 0.0f;
        float right = 0.0f;
        phazer(phaser, left, right);
        ASSERT_EQ(left, 0.0f) << "frame " << frame;
        ASSERT_EQ(right, 0.0f) << "frame " << frame;
    }
}

TEST(Phaser, LeftImpulseRunsThroughSixStagesAndReachesTheRightSample)
{
    Phaser phaser = defaultPhaser();
    float left = 1.0f;
    float right = 0.0f;
    phazer(phaser, left, right);

    // At LFO phase 0 the sine term is one half; from empty memories six all-pass stages turn a
    // unit impulse into a1^6.
    const double d = (0.019954648 + 0.07256236) / 2;
    const double a1 = (1 - d) / (1 + d);
    EXPECT_NEAR(left, (1 + std::pow(a1, 6)) * 0.67, 1e-5);
    EXPECT_NE(right, 0.0f);
}

TEST(Phaser, LfoStepsOncePerChannelAndWraps)
{
    Phaser phaser = defaultPhaser();
    const float step = phaser.lfoIncrement;
    float left = 0.0f;
    float right = 0.0f;
    phazer(phaser, left, right);
    EXPECT_EQ(phaser.lfoPhase, step + step);

    phaser.lfoPhase = 6.28318f - step / 2;
    phazer(phaser, left, right);
    EXPECT_NEAR(phaser.lfoPhase, 1.5f * step, 1e-6f);
}

TEST(Phaser, StagesFollowTheSweepRange)
{
    Phaser phaser = defaultPhaser();
    const float lowest = (1 - phaser.maxCoefficient) / (1 + phaser.maxCoefficient);
    const float highest = (1 - phaser.minCoefficient) / (1 + phaser.minCoefficient);
    float seenLow = 1.0f;
    float seenHigh = 0.0f;
    for (int frame = 0; frame < 50000; ++frame) {
        float left = 0.0f;
        float right = 0.0f;
        phazer(phaser, left, right);
        for (const PhaserStage& stage : phaser.stages)
            ASSERT_EQ(stage.a1, phaser.stages[0].a1);
        seenLow = std::min(seenLow, phaser.stages[0].a1);
        seenHigh = std::max(seenHigh, phaser.stages[0].a1);
    }
    EXPECT_NEAR(seenLow, lowest, 1e-5f);
    EXPECT_NEAR(seenHigh, highest, 1e-5f);
}

TEST(Phaser, LoudInputStaysBounded)
{
    Phaser phaser = defaultPhaser();
    for (int frame = 0; frame < 100000; ++frame) {
        float left = std::sin(frame * 0.031f) > 0 ? 1.0f : -1.0f;
        float right = left;
        phazer(phaser, left, right);
        ASSERT_TRUE(std::isfinite(left) && std::isfinite(right)) << "frame " << frame;
        // Feedback below unity keeps the loop stable: full-scale input peaks at a few units,
        // a loop running away would pass any fixed bound.
        ASSERT_LT(std::fabs(left), 10.0f) << "frame " << frame;
        ASSERT_LT(std::fabs(right), 10.0f) << "frame " << frame;
    }
}

TEST(Phaser, RingDownEndsInExactZerosWithoutSubnormals)
{
    Phaser phaser = defaultPhaser();
    for (int frame = 0; frame < 50000; ++frame) {
        float left = frame == 0 ? 1.0f : 0.0f;
        float right = 0.0f;
        phazer(phaser, left, right);
        ASSERT_FALSE(isSubnormal(left)) << "frame " << frame;
        ASSERT_FALSE(isSubnormal(right)) << "frame " << frame;
        for (const PhaserStage& stage : phaser.stages)
            ASSERT_FALSE(isSubnormal(stage.zm1)) << "frame " << frame;
        ASSERT_FALSE(isSubnormal(phaser.lastOutput)) << "frame " << frame;
    }
    for (const PhaserStage& stage : phaser.stages)
        EXPECT_EQ(stage.zm1, 0.0f);
    EXPECT_EQ(phaser.lastOutput, 0.0f);
}

namespace {

// One frame of loop material that is not finite on one side; the other side is ordinary.
struct BadFrame {
    float left;
    float right;
};

void PrintTo(const BadFrame& frame, std::ostream* out)
{
    *out << "(" << frame.left << ", " << frame.right << ")";
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Loop material around the bad frame: a sine on the left, a slower one on the right.
float materialLeft(int frame)
{
    return 0.5f * std::sin(static_cast<float>(frame) * 0.05f);
}

float materialRight(int frame)
{
    return 0.25f * std::sin(static_cast<float>(frame) * 0.013f);
}

// Feeds frames [from, to) of the material through an effect; the frames that came out.
template <typename Effect>
std::vector<std::pair<float, float>> play(int from, int to, Effect&& effect)
{
    std::vector<std::pair<float, float>> out;
    for (int frame = from; frame < to; ++frame) {
        float left = materialLeft(frame);
        float right = materialRight(frame);
        effect(left, right);
        out.emplace_back(left, right);
    }
    return out;
}

class EffectAfterABadFrame : public testing::TestWithParam<BadFrame> {
protected:
    // Where the bad frame comes, and how long the effect runs on after it.
    static constexpr int kBefore = 500;
    static constexpr int kAfter = 3000;
};

} // namespace

// After the bad frame the filter goes on as one whose memories were empty there.
TEST_P(EffectAfterABadFrame, HipassSilencesItAndStartsAfresh)
{
    tbiquad state{};
    float coefficient = 0.01f;
    play(0, kBefore, [&](float& l, float& r) { hipass(state, coefficient, l, r); });
    tbiquad fresh{};
    float freshCoefficient = coefficient;

    float left = GetParam().left;
    float right = GetParam().right;
    hipass(state, coefficient, left, right);
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, 0.0f);
    float silentLeft = 0.0f;
    float silentRight = 0.0f;
    hipass(fresh, freshCoefficient, silentLeft, silentRight);

    EXPECT_EQ(play(kBefore + 1, kBefore + kAfter,
                   [&](float& l, float& r) { hipass(state, coefficient, l, r); }),
              play(kBefore + 1, kBefore + kAfter,
                   [&](float& l, float& r) { hipass(fresh, freshCoefficient, l, r); }));
}

// After the bad frame the stages go on as if their memories and the feedback had been empty
// there, with the sweep where it was.
TEST_P(EffectAfterABadFrame, PhazerSilencesItAndStartsAfreshOnTheSameSweep)
{
    Phaser phaser = defaultPhaser();
    play(0, kBefore, [&](float& l, float& r) { phazer(phaser, l, r); });
    Phaser fresh = phaser;
    for (PhaserStage& stage : fresh.stages)
        stage.zm1 = 0.0f;
    fresh.lastOutput = 0.0f;

    float left = GetParam().left;
    float right = GetParam().right;
    phazer(phaser, left, right);
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, 0.0f);
    float silentLeft = 0.0f;
    float silentRight = 0.0f;
    phazer(fresh, silentLeft, silentRight);

    EXPECT_EQ(
        play(kBefore + 1, kBefore + kAfter, [&](float& l, float& r) { phazer(phaser, l, r); }),
        play(kBefore + 1, kBefore + kAfter, [&](float& l, float& r) { phazer(fresh, l, r); }));
}

INSTANTIATE_TEST_SUITE_P(NotFinite, EffectAfterABadFrame,
                         testing::Values(BadFrame{kNaN, 0.25f}, BadFrame{0.25f, kNaN},
                                         BadFrame{kInfinity, 0.25f}, BadFrame{0.25f, -kInfinity}));
