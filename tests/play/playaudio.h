// Audio for the play tests, written and read back with libsndfile directly, so that the tool's
// own file code is checked rather than trusted.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace playtest {

struct Audio {
    int sampleRate = 44100;
    std::vector<std::vector<float>> channels;
    int format = 0; // SF_FORMAT_* as read

    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// No two frames alike, in any channel: a frame in the output names the input frame it was.
Audio distinctFrames(int channels, std::size_t frames, int sampleRate);

void writeWav(const std::string& path, const Audio& audio);
// An empty Audio if the file cannot be read.
Audio readAudio(const std::string& path);

// Whether output frame `f` is input frame `source` in every channel of the output (a mono
// input stands for both).
bool sameFrame(const Audio& output, std::size_t f, const Audio& input, std::size_t source);

// The first frame i at which `output` is not input frame i mod length, in every channel of
// the output (a mono input stands for both); output.frames() if there is none.
std::size_t firstFrameNotLooped(const Audio& output, const Audio& input);

} // namespace playtest
