#include "loopeffects.h"

#include <cmath>

namespace {

constexpr int32_t bitReducerGrid = 20;
// At exactly double speed from an odd position the read index would never land on the grid and
// the held frame would freeze; the slightly slower increment drifts across the grid.
constexpr double bitReducerDoubleSpeed = 2.0;
constexpr double bitReducerDetunedSpeed = 1.99;

constexpr float hipassStep = 1.5e-6f;
constexpr float hipassSweepEnd = 0.09f;
constexpr float hipassFinalCoefficient = 0.0900015f;

constexpr float phaserFullTurn = 6.28318f;
constexpr float phaserOutputGain = 0.67f;

// Values this small are some 600 dB below full scale, yet left alone a decaying memory walks on
// into the subnormal range, where arithmetic is many times slower on x86 and the small numbers
// leak into the host's mix. They are set to 0 instead; nothing audible changes.
constexpr float flushBelow = 1e-30f;

float flushTiny(float v)
{
    return std::fabs(v) < flushBelow ? 0.0f : v;
}

long double flushTiny(long double v)
{
    return std::fabs(v) < flushBelow ? 0.0L : v;
}

// The high-pass memories decay toward 0 on silence like any one-pole state; extended precision
// only postpones the subnormal range.
void flushTinyMemories(tbiquad& state)
{
    state.s0 = flushTiny(state.s0);
    state.s1 = flushTiny(state.s1);
    state.s2 = flushTiny(state.s2);
}

// All-pass coefficient for this sample from the LFO, which then moves on by one step.
float phaserSweepCoefficient(Phaser& phaser)
{
    const double lfo = (std::sin(static_cast<double>(phaser.lfoPhase)) + 1.0) * 0.5;
    const float range = phaser.maxCoefficient - phaser.minCoefficient;
    const float d = static_cast<float>(phaser.minCoefficient + range * lfo);
    phaser.lfoPhase += phaser.lfoIncrement;
    if (phaser.lfoPhase >= phaserFullTurn) phaser.lfoPhase -= phaserFullTurn;
    return (1.0f - d) / (1.0f + d);
}

// One NaN or infinity in the loop material would otherwise stay in a recursive state for good
// and turn every later frame into NaN. The frame that shows it is silenced and the state starts
// afresh; for finite material this is one well-predicted branch per frame.
bool isFiniteFrame(float left, float right)
{
    return std::isfinite(left) && std::isfinite(right);
}

void silence(float& left, float& right)
{
    left = 0.0f;
    right = 0.0f;
}

// The sweep goes on where it was; only what the stages remember is dropped.
void clearPhaserMemories(Phaser& phaser)
{
    for (PhaserStage& stage : phaser.stages)
        stage.zm1 = 0.0f;
    phaser.lastOutput = 0.0f;
}

float phazerSample(Phaser& phaser, float x)
{
    const float a1 = phaserSweepCoefficient(phaser);
    float u = x + phaser.lastOutput * phaser.feedback;
    float y = 0.0f;
    for (PhaserStage& stage : phaser.stages) {
        stage.a1 = a1;
        y = u * -a1 + stage.zm1;
        // Flushed, see flushBelow: with feedback the memories ring down for a long time.
        stage.zm1 = flushTiny(y * a1 + u);
        u = y;
    }
    phaser.lastOutput = flushTiny(y);
    return (x + y * phaser.depth) * phaserOutputGain;
}

} // namespace

void phaserSetDefaults(Phaser& phaser)
{
    for (PhaserStage& stage : phaser.stages)
        stage = PhaserStage{0.0f, 0.0f};
    phaser.minCoefficient = 440.0f / 22050.0f;
    phaser.maxCoefficient = 1600.0f / 22050.0f;
    phaser.feedback = 0.7f;
    phaser.lfoPhase = 0.0f;
    phaser.lfoIncrement = phaserFullTurn * 0.5f / 44100.0f;
    phaser.depth = 1.0f;
    phaser.lastOutput = 0.0f;
}

void bitReducer(int32_t& holdIndex, double& playIncrement, float heldLeft, float heldRight,
                int32_t readIndex, float& left, float& right)
{
    if (playIncrement == bitReducerDoubleSpeed) playIncrement = bitReducerDetunedSpeed;
    left = heldLeft;
    right = heldRight;
    if (readIndex % bitReducerGrid == 0) holdIndex = readIndex;
}

void autopan(bool passToggle, float& left, float& right)
{
    if (passToggle)
        right *= 0.0f;
    else
        left *= 0.0f;
}

void hipass(tbiquad& state, float& coefficient, float& left, float& right)
{
    left = flushTiny(static_cast<float>(IIR_doIIRhigh(state, coefficient, left)));
    right = flushTiny(static_cast<float>(IIR_doIIRhigh(state, coefficient, right)));
    flushTinyMemories(state);
    if (!isFiniteFrame(left, right)) [[unlikely]] {
        IIR_resetIIR(state);
        silence(left, right);
    }
    if (coefficient < hipassSweepEnd)
        coefficient += hipassStep;
    else
        coefficient = hipassFinalCoefficient;
}

void phazer(Phaser& phaser, float& left, float& right)
{
    left = phazerSample(phaser, left);
    right = phazerSample(phaser, right);
    if (!isFiniteFrame(left, right)) [[unlikely]] {
        clearPhaserMemories(phaser);
        silence(left, right);
    }
}
