// What plays into the plug-in: an audio file, or the demo's groove made on the spot. It is
// always stereo (a mono file is doubled) and it loops: song frame p plays frame p mod length.
#pragma once

#include "audiobuffer.h"
#include "playoptions.h"

#include <cstddef>
#include <string>

namespace pl3play {

struct Song {
    static constexpr int kGrooveBars = 8;

    hostcore::PlanarBuffer samples{2, 0};
    int sampleRate = 0;

    std::size_t frames() const { return samples.frames(); }
};

// The input file of the options, or the groove at their tempo and rate. Throws
// pl3render::RenderError for a file that cannot be read or holds no audio, and
// pl3render::UsageError when --rate names another rate than the file's.
Song loadSong(const PlayOptions& options);

Song readSong(const std::string& path);
// `bars` bars of the demo's drums and bass, peaking at 0.8.
Song synthesiseGroove(double tempo, int sampleRate, int bars);

} // namespace pl3play
