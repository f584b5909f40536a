#include "song.h"

#include "audiofile.h"
#include "drumkit.h"
#include "drumpattern.h"
#include "rendererror.h"

#include <algorithm>
#include <cmath>

namespace pl3play {

namespace {

constexpr float kGroovePeak = 0.8f;
constexpr int kBeatsPerBar = 4;

hostcore::PlanarBuffer asStereo(const hostcore::PlanarBuffer& samples)
{
    hostcore::PlanarBuffer stereo(2, samples.frames());
    for (int c = 0; c < 2; ++c)
        std::copy_n(samples.channel(std::min(c, samples.channels() - 1)), samples.frames(),
                    stereo.channel(c));
    return stereo;
}

float peakOf(const hostcore::PlanarBuffer& samples)
{
    float peak = 0.0f;
    for (int c = 0; c < samples.channels(); ++c)
        for (std::size_t f = 0; f < samples.frames(); ++f)
            peak = std::max(peak, std::fabs(samples.at(c, f)));
    return peak;
}

void scale(hostcore::PlanarBuffer& samples, float gain)
{
    for (int c = 0; c < samples.channels(); ++c)
        for (std::size_t f = 0; f < samples.frames(); ++f)
            samples.at(c, f) *= gain;
}

void requireRate(const Song& song, const PlayOptions& options)
{
    if (options.rateGiven && options.rate != song.sampleRate)
        throw pl3render::UsageError("--rate " + std::to_string(options.rate) +
                                    " is not the rate of input '" + options.input + "' (" +
                                    std::to_string(song.sampleRate) +
                                    " Hz): leave --rate out to play it at its own rate");
}

} // namespace

Song loadSong(const PlayOptions& options)
{
    if (options.input.empty())
        return synthesiseGroove(options.tempo, options.rate, Song::kGrooveBars);
    Song song = readSong(options.input);
    requireRate(song, options);
    return song;
}

Song readSong(const std::string& path)
{
    const pl3render::AudioData audio = pl3render::readAudioFile(path);
    if (audio.samples.frames() == 0)
        throw pl3render::RenderError("input '" + path + "' holds no audio frames");
    const double rate = std::round(audio.sampleRate);
    if (rate < PlayOptions::kMinRate || rate > PlayOptions::kMaxRate)
        throw pl3render::RenderError("input '" + path + "' is at " +
                                     std::to_string(static_cast<long long>(rate)) + " Hz: only " +
                                     std::to_string(PlayOptions::kMinRate) + " to " +
                                     std::to_string(PlayOptions::kMaxRate) + " Hz can be played");
    Song song;
    song.samples = asStereo(audio.samples);
    song.sampleRate = static_cast<int>(rate);
    return song;
}

Song synthesiseGroove(double tempo, int sampleRate, int bars)
{
    const double samplesPerBeat = 60.0 * sampleRate / tempo;
    Song song;
    song.sampleRate = sampleRate;
    song.samples = hostcore::PlanarBuffer(
        2, static_cast<std::size_t>(std::llround(bars * kBeatsPerBar * samplesPerBeat)));
    pl3demo::DrumKit kit(song.samples, sampleRate);
    pl3demo::playPattern(kit, bars, samplesPerBeat);
    // The same level whatever the pattern's sum, as the demo's input file has.
    const float peak = peakOf(song.samples);
    if (peak > 0.0f) scale(song.samples, kGroovePeak / peak);
    return song;
}

} // namespace pl3play
