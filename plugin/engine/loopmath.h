// How the loop parameters turn into lengths, speeds and effect numbers. Every
// function is defined for every finite float, far outside 0..1 included.
#pragma once

#include <cmath>
#include <cstdint>
#include <math.h>
#include <optional>

namespace loopmath {

// Length of each Value step in beats, from "1 bar" (always four beats) down.
inline constexpr double kStepBeats[10] = {4.0,   2.0,  1.0,   0.75,   0.5,
                                          0.375, 0.25, 0.125, 0.0625, 0.03125};

// trunc(value × 9) in single precision; a value giving a step outside 0..9 has
// no length (below −1/9, or 10/9 and above).
inline std::optional<int> lengthStepOf(float value)
{
    const float scaled = value * 9.0f;
    if (!(scaled > -1.0f && scaled < 10.0f)) return std::nullopt;
    return int(scaled);
}

// trunc(value × 4) in single precision, at most 3. Any negative number selects
// no effect, so everything at or below −1 is kept at −1.
inline int32_t fxIdOf(float value)
{
    const float scaled = value * 4.0f;
    if (scaled >= 3.0f) return 3;
    if (scaled <= -1.0f) return -1;
    return int32_t(scaled);
}

// The playback speeds a pitch far outside 0..1 could ask for are kept within
// sixteen octaves either way, so positions and counters stay finite numbers.
inline constexpr double kMinSpeed = 1.0 / 65536.0;
inline constexpr double kMaxSpeed = 65536.0;

// One octave down at 0, unchanged at 0.5, one octave up at 1, in single precision.
inline double speedOf(float pitch)
{
    const double speed = powf(2.0f, (pitch - 0.5f) * 2.0f * 12.0f / 12.0f);
    return speed < kMinSpeed ? kMinSpeed : (speed > kMaxSpeed ? kMaxSpeed : speed);
}

// The pitch display: the integer part of 100 × speed.
inline int32_t speedPercent(double speed)
{
    return int32_t(100.0 * speed);
}

// trunc(beats × samplesPerBeat), kept within 0..maxFrames.
inline int32_t framesOf(double beats, double samplesPerBeat, int32_t maxFrames)
{
    const double frames = std::trunc(beats * samplesPerBeat);
    if (!(frames > 0.0)) return 0;
    return frames >= double(maxFrames) ? maxFrames : int32_t(frames);
}

} // namespace loopmath
