#include "testaudio.h"

#include <sndfile.h>

#include <algorithm>
#include <stdexcept>

namespace rendertest {

TestAudio noise(int channels, std::size_t frames, double sampleRate, std::uint32_t seed)
{
    TestAudio audio;
    audio.sampleRate = sampleRate;
    std::uint32_t state = seed;
    audio.channels.assign(channels, std::vector<float>(frames));
    for (std::size_t f = 0; f < frames; ++f)
        for (auto& channel : audio.channels) {
            state = state * 1664525u + 1013904223u;
            channel[f] = static_cast<float>(static_cast<std::int16_t>(state >> 16)) / 65536.0f;
        }
    return audio;
}

void writeAudio(const std::string& path, const TestAudio& audio, int format)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.sampleRate);
    info.channels = static_cast<int>(audio.channels.size());
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    std::vector<float> interleaved(audio.frames() * info.channels);
    for (std::size_t f = 0; f < audio.frames(); ++f)
        for (int c = 0; c < info.channels; ++c)
            interleaved[f * info.channels + c] = audio.channels[c][f];
    const auto written = sf_writef_float(file, interleaved.data(), audio.frames());
    sf_close(file);
    if (written != static_cast<sf_count_t>(audio.frames()))
        throw std::runtime_error("short write to " + path);
}

TestAudio readAudio(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames) * info.channels);
    const auto read = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    if (read != info.frames) throw std::runtime_error("short read from " + path);
    TestAudio audio;
    audio.sampleRate = info.samplerate;
    audio.format = info.format;
    audio.channels.assign(info.channels, std::vector<float>(info.frames));
    for (sf_count_t f = 0; f < info.frames; ++f)
        for (int c = 0; c < info.channels; ++c)
            audio.channels[c][f] = interleaved[f * info.channels + c];
    return audio;
}

std::vector<float> loopedChannel(const std::vector<float>& input, std::size_t captureFrame,
                                 std::size_t loopLength)
{
    std::vector<float> output(input);
    for (std::size_t f = captureFrame; f < output.size(); ++f) {
        const std::size_t source = captureFrame - loopLength + (f - captureFrame) % loopLength;
        output[f] = input.at(source);
    }
    return output;
}

std::vector<std::size_t> loopJumps(std::size_t captureFrame, std::size_t loopLength,
                                   std::size_t end)
{
    std::vector<std::size_t> jumps;
    for (std::size_t f = captureFrame; f < end; f += loopLength)
        jumps.push_back(f);
    return jumps;
}

std::size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b,
                            const std::vector<std::size_t>& fades)
{
    const std::size_t common = std::min(a.size(), b.size());
    const auto inFade = [&](std::size_t f) {
        return std::any_of(fades.begin(), fades.end(),
                           [f](std::size_t jump) { return f >= jump && f < jump + kFadeFrames; });
    };
    for (std::size_t f = 0; f < common; ++f)
        if (a[f] != b[f] && !inFade(f)) return f;
    return common;
}

} // namespace rendertest
