// The demo's music: a 120 BPM groove in sixteenth notes, a four-bar bass line
// under it and a snare fill closing every fourth bar, so that a loop, a
// stutter, a slower or reversed bar are each heard for what they are.
#pragma once

#include "drumkit.h"

namespace pl3demo {

// Plays `bars` bars of the pattern into the kit; a beat is `samplesPerBeat`.
void playPattern(DrumKit& kit, int bars, double samplesPerBeat);

} // namespace pl3demo
