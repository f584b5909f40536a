#include "playaudio.h"

#include <sndfile.h>

namespace playtest {

Audio distinctFrames(int channels, std::size_t frames, int sampleRate)
{
    Audio audio;
    audio.sampleRate = sampleRate;
    audio.channels.assign(static_cast<std::size_t>(channels), std::vector<float>(frames));
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            audio.channels[c][f] = (c == 0 ? 1.0f : -0.5f) * static_cast<float>(f + 1) /
                                   static_cast<float>(frames + 1);
    return audio;
}

void writeWav(const std::string& path, const Audio& audio)
{
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = static_cast<int>(audio.channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<float> interleaved;
    for (std::size_t f = 0; f < audio.frames(); ++f)
        for (const auto& channel : audio.channels)
            interleaved.push_back(channel[f]);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(audio.frames()));
    sf_close(file);
}

Audio readAudio(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Audio audio;
    if (!file) return audio;
    audio.sampleRate = info.samplerate;
    audio.format = info.format;
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    audio.channels.assign(static_cast<std::size_t>(info.channels),
                          std::vector<float>(static_cast<std::size_t>(info.frames)));
    for (std::size_t f = 0; f < static_cast<std::size_t>(info.frames); ++f)
        for (int c = 0; c < info.channels; ++c)
            audio.channels[c][f] = interleaved[f * info.channels + c];
    return audio;
}

bool sameFrame(const Audio& output, std::size_t f, const Audio& input, std::size_t source)
{
    for (std::size_t c = 0; c < output.channels.size(); ++c)
        if (output.channels[c][f] != input.channels[std::min(c, input.channels.size() - 1)][source])
            return false;
    return true;
}

std::size_t firstFrameNotLooped(const Audio& output, const Audio& input)
{
    for (std::size_t f = 0; f < output.frames(); ++f)
        if (!sameFrame(output, f, input, f % input.frames())) return f;
    return output.frames();
}

} // namespace playtest
