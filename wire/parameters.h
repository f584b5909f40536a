// The parameter numbering, shared by the engine, the message channel, the shared
// block and the editor's control tags: index = kind × 4 + loop.
#pragma once

namespace parameters {

constexpr int kNumLoops = 4;
constexpr int kNumKinds = 6;
constexpr int kNumParameters = kNumLoops * kNumKinds;

enum Kind : int { kLoop = 0, kValue, kPitch, kRev, kFx, kFxSel };

constexpr int indexOf(Kind kind, int loop)
{
    return int(kind) * kNumLoops + loop;
}
constexpr bool isValidIndex(int index)
{
    return index >= 0 && index < kNumParameters;
}
constexpr Kind kindOf(int index)
{
    return Kind(index / kNumLoops);
}
constexpr int loopOf(int index)
{
    return index % kNumLoops;
}

// The effects an FX sel value chooses, by effect number: the engine's display texts and the
// editor's menu entries.
constexpr int kNumEffects = 4;
constexpr const char* kEffectNames[kNumEffects] = {"Bit Reducer", "Autopan", "Hipass", "Phazer"};

// Switch parameters count as on from one half upwards.
constexpr bool isOn(float value)
{
    return value >= 0.5f;
}

} // namespace parameters
