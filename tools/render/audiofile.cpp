#include "audiofile.h"

#include "interruptcleanup.h"
#include "rendererror.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

namespace pl3render {

namespace {

struct FileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, FileCloser>;

constexpr sf_count_t kChunkFrames = 65536;

std::string extensionOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

void deinterleave(const std::vector<float>& interleaved, sf_count_t frames, int channels,
                  hostcore::PlanarBuffer& samples, std::size_t at)
{
    for (sf_count_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples.at(c, at + f) = interleaved[f * channels + c];
}

void readAll(SNDFILE* file, const std::string& path, hostcore::PlanarBuffer& samples)
{
    const int channels = samples.channels();
    std::vector<float> chunk(kChunkFrames * channels);
    std::size_t done = 0;
    while (done < samples.frames()) {
        stopIfInterrupted();
        const sf_count_t wanted =
            std::min<sf_count_t>(kChunkFrames, static_cast<sf_count_t>(samples.frames() - done));
        const sf_count_t got = sf_readf_float(file, chunk.data(), wanted);
        if (got <= 0)
            throw RenderError("cannot read input '" + path + "': " + sf_strerror(file) +
                              " (after " + std::to_string(done) + " frames)");
        deinterleave(chunk, got, channels, samples, done);
        done += static_cast<std::size_t>(got);
    }
}

void writeAll(SNDFILE* file, const std::string& name, const hostcore::PlanarBuffer& samples)
{
    const int channels = samples.channels();
    std::vector<float> chunk(kChunkFrames * channels);
    for (std::size_t done = 0; done < samples.frames();) {
        stopIfInterrupted();
        const auto frames = std::min<std::size_t>(kChunkFrames, samples.frames() - done);
        for (std::size_t f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c)
                chunk[f * channels + c] = samples.at(c, done + f);
        if (sf_writef_float(file, chunk.data(), static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames))
            throw RenderError("cannot write output '" + name + "': " + sf_strerror(file));
        done += frames;
    }
}

} // namespace

AudioData readAudioFile(const std::string& path)
{
    SF_INFO info{};
    SoundFile file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) throw RenderError("cannot open input '" + path + "': " + sf_strerror(nullptr));
    if (info.channels < 1 || info.channels > 2)
        throw RenderError("input '" + path + "' has " + std::to_string(info.channels) +
                          " channels: only mono and stereo files can be rendered");
    AudioData audio;
    audio.samples = hostcore::PlanarBuffer(info.channels, static_cast<std::size_t>(info.frames));
    audio.sampleRate = info.samplerate;
    audio.format = info.format;
    readAll(file.get(), path, audio.samples);
    return audio;
}

int outputFormatFor(const std::string& path)
{
    const std::string extension = extensionOf(path);
    if (extension == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == "aif" || extension == "aiff") return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    throw RenderError("cannot tell the output format from '" + path +
                      "': name it .wav, .flac, .aif or .aiff");
}

void writeAudioFile(int fd, const std::string& name, const hostcore::PlanarBuffer& samples,
                    double sampleRate, int format)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = samples.channels();
    info.format = format;
    SoundFile file(sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE));
    if (!file) throw RenderError("cannot write output '" + name + "': " + sf_strerror(nullptr));
    // Integer formats clip what the plug-in sends past full scale instead of
    // letting it wrap around.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    writeAll(file.get(), name, samples);
}

} // namespace pl3render
