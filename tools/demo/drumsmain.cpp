// pravolindel3-drums: writes the demo's input, a synthesised groove.
//   pravolindel3-drums [--bars N] [--tempo BPM] OUTPUT
#include "audiofile.h"
#include "drumkit.h"
#include "drumpattern.h"
#include "numbers.h"
#include "temporaryfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

constexpr double kSampleRate = 44100.0;
constexpr float kPeak = 0.8f;

struct Settings {
    int bars = 20;
    double tempo = 120.0;
    std::string output;
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--bars" && i + 1 < argc) {
            const auto bars = pl3render::parseInteger(argv[++i]);
            if (!bars || *bars < 1 || *bars > 1000)
                throw std::runtime_error("--bars takes 1 to 1000");
            settings.bars = static_cast<int>(*bars);
        } else if (argument == "--tempo" && i + 1 < argc) {
            const auto tempo = pl3render::parseDouble(argv[++i]);
            if (!tempo || *tempo < 20.0 || *tempo > 400.0)
                throw std::runtime_error("--tempo takes 20 to 400 BPM");
            settings.tempo = *tempo;
        } else if (settings.output.empty() && argument[0] != '-') {
            settings.output = argument;
        } else {
            throw std::runtime_error("usage: pravolindel3-drums [--bars N] [--tempo BPM] OUTPUT");
        }
    }
    if (settings.output.empty())
        throw std::runtime_error("usage: pravolindel3-drums [--bars N] [--tempo BPM] OUTPUT");
    return settings;
}

// The same peak whatever the pattern's sum, so the demo's levels are known.
void normalise(hostcore::PlanarBuffer& mix)
{
    float peak = 0.0f;
    for (int c = 0; c < mix.channels(); ++c)
        for (std::size_t f = 0; f < mix.frames(); ++f)
            peak = std::max(peak, std::fabs(mix.at(c, f)));
    if (peak == 0.0f) return;
    for (int c = 0; c < mix.channels(); ++c)
        for (std::size_t f = 0; f < mix.frames(); ++f)
            mix.at(c, f) *= kPeak / peak;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const Settings settings = parse(argc, argv);
        const double samplesPerBeat = 60.0 * kSampleRate / settings.tempo;
        const int format = pl3render::outputFormatFor(settings.output);
        hostcore::PlanarBuffer mix(
            2, static_cast<std::size_t>(std::llround(settings.bars * 4 * samplesPerBeat)));
        pl3demo::DrumKit kit(mix, kSampleRate);
        pl3demo::playPattern(kit, settings.bars, samplesPerBeat);
        normalise(mix);

        pl3render::TemporaryFile file(settings.output);
        pl3render::writeAudioFile(file.releaseDescriptor(), settings.output, mix, kSampleRate,
                                  format);
        file.commit();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pravolindel3-drums: %s\n", error.what());
        return 1;
    }
}
