// Sound output through ALSA, built in when the build found the library (PL3_PLAY_ALSA).
#pragma once

#include "blocksink.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pl3play {

#ifdef PL3_PLAY_ALSA
inline constexpr bool kSoundOutputBuiltIn = true;
#else
inline constexpr bool kSoundOutputBuiltIn = false;
#endif

// Opens the ALSA playback device `device` for interleaved stereo, 32-bit float or else 16-bit,
// at `rate`, with a buffer of a few blocks. Null, with ALSA's reason in `reason`, if it cannot.
// Defined only where sound output is built in: call it under `if constexpr
// (kSoundOutputBuiltIn)`.
std::unique_ptr<BlockSink> openSoundOutput(const std::string& device, int rate,
                                           std::int32_t blockFrames, std::string& reason);

} // namespace pl3play
