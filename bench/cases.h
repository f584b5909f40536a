// The benchmark cases and the names their results are reported under; the
// benchmarks register them and the summary looks them up.
#pragma once

#include "vst24.h"

#include <cmath>

namespace pl3bench {

struct SessionSettings {
    double sampleRate;
    double tempo;
    VstInt32 blockFrames;

    double beatFrames() const { return 60.0 * sampleRate / tempo; }
    double blockSeconds() const { return blockFrames / sampleRate; }
};

// Steady-state cases and the copy baseline.
inline constexpr SessionSettings kThroughputSettings{44100.0, 120.0, 512};
// The worst block: a slow tempo at a high rate makes the longest bar to copy.
inline constexpr SessionSettings kCaptureSettings{48000.0, 60.0, 64};
inline constexpr int kBeatsPerBar = 4;

// Loop 1's settings, applied before the loop is switched on.
struct LoopSettings {
    float pitch = 0.5f; // speed 1
    bool reverse = false;
    bool fxOn = false;
    float fxSelect = 0.0f; // trunc(FX sel × 4) picks the effect
};

enum class CaseKind {
    Stopped, // transport stopped
    Playing, // transport rolling, no loop on
    Looping, // transport rolling, Loop1 captured and playing
};

struct ThroughputCase {
    const char* name;        // as registered with the benchmark library
    const char* description; // as the summary prints it
    CaseKind kind;
    LoopSettings loop;
};

// The pitch parameter whose speed 2^((pitch - 0.5) × 2) is `speed`.
inline float pitchForSpeed(double speed)
{
    return static_cast<float>(0.5 + std::log2(speed) / 2.0);
}

inline const ThroughputCase kThroughputCases[] = {
    {"Process/Stopped", "transport stopped", CaseKind::Stopped, {}},
    {"Process/PlayingNoLoop", "playing, no loop", CaseKind::Playing, {}},
    {"Process/LoopSpeed1", "loop, speed 1", CaseKind::Looping, {}},
    {"Process/LoopSpeed1.5", "loop, speed 1.5", CaseKind::Looping, {.pitch = pitchForSpeed(1.5)}},
    {"Process/LoopReversed", "loop, reversed", CaseKind::Looping, {.reverse = true}},
    {"Process/LoopBitReducer",
     "loop, \"Bit Reducer\"",
     CaseKind::Looping,
     {.fxOn = true, .fxSelect = 0.0f}},
    {"Process/LoopAutopan",
     "loop, \"Autopan\"",
     CaseKind::Looping,
     {.fxOn = true, .fxSelect = 0.25f}},
    {"Process/LoopHipass", "loop, \"Hipass\"", CaseKind::Looping, {.fxOn = true, .fxSelect = 0.5f}},
    {"Process/LoopPhazer",
     "loop, \"Phazer\"",
     CaseKind::Looping,
     {.fxOn = true, .fxSelect = 0.75f}},
};

inline constexpr const char* kCopyBaselineName = "CopyBaseline";
inline constexpr const char* kCaptureBlockName = "CaptureBlock/1bar_60bpm_48kHz_64frames";
inline constexpr const char* kResumeMemoryName = "ResidentMemory/Resume";

// Counters. Time per frame is in seconds, which the console shows with an SI
// prefix ("8.2ns").
inline constexpr const char* kTimePerFrame = "time_per_frame";
inline constexpr const char* kBlockFraction = "block_fraction";        // wall clock
inline constexpr const char* kBlockCpuFraction = "block_cpu_fraction"; // thread CPU clock
inline constexpr const char* kRssDeltaMiB = "rss_delta_MiB";

// The capture block benchmark's repetitions, each on a fresh engine, and the
// statistic added for its worst one.
inline constexpr int kCaptureRepetitions = 20;
inline constexpr const char* kWorstStatistic = "max";

// Targets, as ratios and fractions within one run; nothing fails on them.
inline constexpr double kLoopToCopyTarget = 20.0;
inline constexpr double kCaptureBlockTarget = 0.25;
inline constexpr double kResumeMemoryTargetMiB = 4.0;

} // namespace pl3bench
