// The four loop effects, applied in place to one frame of loop playback.
//
// The engine owns one set of effect state for all loops; nothing here resets it, except a state
// that a NaN or an infinity in the loop material has made non-finite. Every function
// runs on the audio thread, real-time: no allocation, no lock, no blocking call. The constants are
// fixed numbers tuned for 44,100 Hz and do not follow the host's sample rate.
#pragma once

#include "iir.h"

#include <cstdint>

struct PhaserStage {
    float a1;
    float zm1;
};

struct Phaser {
    PhaserStage stages[6];
    float minCoefficient;
    float maxCoefficient;
    float feedback;
    float lfoPhase;
    float lfoIncrement;
    float depth;
    float lastOutput;
};

// Stages and memories cleared, sweep from 440 Hz to 1,600 Hz at 0.5 Hz, feedback 0.7, depth 1.
void phaserSetDefaults(Phaser& phaser);

// Effect 0, "Bit Reducer": sample and hold on a grid of 20 frames of the loop buffer. Replaces
// the frame by the held one (heldLeft, heldRight: the loop's frame at holdIndex), then holds the
// frame at readIndex (trunc of the play position) if it lies on the grid, so a new held frame is
// heard from the next frame on. An increment of exactly 2.0 becomes 1.99.
void bitReducer(int32_t& holdIndex, double& playIncrement, float heldLeft, float heldRight,
                int32_t readIndex, float& left, float& right);

// Effect 1, "Autopan": silences the right side while passToggle is set, else the left side.
void autopan(bool passToggle, float& left, float& right);

// Effect 2, "Hipass": both channels through one three-pole high-pass (left first), whose
// coefficient rises by 1.5e-6 per frame from 0.01 until it passes 0.09 and then stays at
// 0.0900015. A frame whose result is not finite comes out silent and clears the filter's memories.
void hipass(tbiquad& state, float& coefficient, float& left, float& right);

// Effect 3, "Phazer": six all-pass stages with feedback, swept by a sine LFO; left then right
// pass through the same stages, and each channel advances the LFO once. A frame whose result is not
// finite comes out silent and clears the stages' memories and the feedback; the LFO runs on.
void phazer(Phaser& phaser, float& left, float& right);
