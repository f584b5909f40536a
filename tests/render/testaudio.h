// Audio for the render tests, made and read back with libsndfile directly, so
// the tool's own file code is checked rather than trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rendertest {

struct TestAudio {
    double sampleRate = 44100.0;
    std::vector<std::vector<float>> channels;
    int format = 0; // SF_FORMAT_* as read

    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Deterministic noise: no two stretches of it are alike, so a repeat in the
// output can only be a loop.
TestAudio noise(int channels, std::size_t frames, double sampleRate, std::uint32_t seed);

void writeAudio(const std::string& path, const TestAudio& audio, int format);
TestAudio readAudio(const std::string& path);

// The output of a loop captured at `captureFrame` that repeats the
// `loopLength` frames before it, with the input passing through until then.
std::vector<float> loopedChannel(const std::vector<float>& input, std::size_t captureFrame,
                                 std::size_t loopLength);

// Where the output of that loop jumps from one stretch of the input to
// another, before frame `end`: the capture and every wrap. The looper
// crossfades over up to kFadeFrames frames from each.
constexpr std::size_t kFadeFrames = 64;
std::vector<std::size_t> loopJumps(std::size_t captureFrame, std::size_t loopLength,
                                   std::size_t end);

// The first frame at which two channels differ, or their common length. The
// crossfades after the frames in `fades` are left out of the comparison.
std::size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b,
                            const std::vector<std::size_t>& fades = {});

} // namespace rendertest
