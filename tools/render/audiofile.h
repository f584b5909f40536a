// Audio files through libsndfile: WAV, FLAC and AIFF in, the format chosen by
// the output's extension out. Samples are planar floats as the plug-in takes
// them; the sample rate is the file's own.
#pragma once

#include "audiobuffer.h"

#include <string>

namespace pl3render {

struct AudioData {
    hostcore::PlanarBuffer samples{0, 0};
    double sampleRate = 0.0;
    int format = 0; // libsndfile's SF_FORMAT_* of the file read
};

// Mono and stereo only; anything else, or a file libsndfile cannot read, is a
// RenderError naming the file.
AudioData readAudioFile(const std::string& path);

// The libsndfile format for a file name: float WAV for .wav, 24-bit FLAC for
// .flac, float AIFF for .aif/.aiff. Any other extension is a RenderError.
int outputFormatFor(const std::string& path);

// Writes `frames` frames of every channel of `samples` to the open descriptor
// `fd` (which the writer closes); `name` is the file as the user knows it.
void writeAudioFile(int fd, const std::string& name, const hostcore::PlanarBuffer& samples,
                    double sampleRate, int format);

} // namespace pl3render
