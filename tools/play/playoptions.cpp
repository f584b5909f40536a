#include "playoptions.h"

#include "midiinput.h"
#include "numbers.h"
#include "rendererror.h"
#include "soundoutput.h"

#include <functional>
#include <map>
#include <optional>

namespace pl3play {

namespace {

[[noreturn]] void usage(const std::string& message)
{
    throw pl3render::UsageError(message + " (see --help)");
}

double numberIn(const std::string& option, const std::string& text, double lowest, double highest)
{
    const auto parsed = pl3render::parseDouble(pl3render::trim(text));
    if (!parsed || *parsed < lowest || *parsed > highest)
        usage(option + " takes a number from " + pl3render::formatNumber(lowest) + " to " +
              pl3render::formatNumber(highest) + ", not '" + text + "'");
    return *parsed;
}

long long wholeIn(const std::string& option, const std::string& text, long long lowest,
                  long long highest)
{
    const auto parsed = pl3render::parseInteger(pl3render::trim(text));
    if (!parsed || *parsed < lowest || *parsed > highest)
        usage(option + " takes a whole number from " + std::to_string(lowest) + " to " +
              std::to_string(highest) + ", not '" + text + "'");
    return *parsed;
}

double seconds(const std::string& option, const std::string& text)
{
    const auto parsed = pl3render::parseDouble(pl3render::trim(text));
    if (!parsed || !(*parsed > 0.0) || *parsed > PlayOptions::kMaxSeconds)
        usage(option + " takes a number of seconds above 0, not '" + text + "'");
    return *parsed;
}

// "+X+Y": where the window's top-left corner goes on the screen.
void geometry(PlayOptions& o, const std::string& option, const std::string& text)
{
    const auto second = text.find('+', 1);
    const auto x = text.size() > 1 && text[0] == '+' && second != std::string::npos
                       ? pl3render::parseInteger(std::string_view(text).substr(1, second - 1))
                       : std::nullopt;
    const auto y =
        x ? pl3render::parseInteger(std::string_view(text).substr(second + 1)) : std::nullopt;
    constexpr long long kLargest = 32767; // X coordinates are 16-bit
    if (!x || !y || *x < 0 || *y < 0 || *x > kLargest || *y > kLargest || text[second + 1] == '+')
        usage(option + " takes +X+Y (two whole numbers from 0 to " + std::to_string(kLargest) +
              "), not '" + text + "'");
    o.windowX = static_cast<int>(*x);
    o.windowY = static_cast<int>(*y);
}

void audio(PlayOptions& o, const std::string& option, const std::string& text)
{
    if (text.empty()) usage(option + " takes an ALSA device name or 'none'");
    if (text != PlayOptions::kNoAudio && !kSoundOutputBuiltIn)
        usage(option + " '" + text + "': this build has no ALSA sound output; use --audio none");
    o.audioDevice = text;
}

void midiPort(PlayOptions& o)
{
    if (!kMidiInputBuiltIn) usage("--midi-port: this build has no ALSA MIDI input");
    o.midiPort = true;
}

using Flag = std::function<void(PlayOptions&)>;
using Valued = std::function<void(PlayOptions&, const std::string&, const std::string&)>;

const std::map<std::string, Flag>& flags()
{
    static const std::map<std::string, Flag> table = {
        {"--help", [](PlayOptions& o) { o.help = true; }},
        {"-h", [](PlayOptions& o) { o.help = true; }},
        {"--no-editor", [](PlayOptions& o) { o.editor = false; }},
        {"--midi-port", midiPort},
    };
    return table;
}

const std::map<std::string, Valued>& valuedOptions()
{
    static const std::map<std::string, Valued> table = {
        {"--plugin", [](PlayOptions& o, auto&, auto& v) { o.plugin = v; }},
        {"--input", [](PlayOptions& o, auto&, auto& v) { o.input = v; }},
        {"--output", [](PlayOptions& o, auto&, auto& v) { o.output = v; }},
        {"--events", [](PlayOptions& o, auto&, auto& v) { o.eventsFile = v; }},
        {"--midi-file", [](PlayOptions& o, auto&, auto& v) { o.midiFile = v; }},
        {"--tempo",
         [](PlayOptions& o, auto& n, auto& v) {
             o.tempo = numberIn(n, v, PlayOptions::kMinTempo, PlayOptions::kMaxTempo);
         }},
        {"--rate",
         [](PlayOptions& o, auto& n, auto& v) {
             o.rate = static_cast<int>(wholeIn(n, v, PlayOptions::kMinRate, PlayOptions::kMaxRate));
             o.rateGiven = true;
         }},
        {"--block",
         [](PlayOptions& o, auto& n, auto& v) {
             o.blockSize = static_cast<std::int32_t>(
                 wholeIn(n, v, PlayOptions::kMinBlock, PlayOptions::kMaxBlock));
         }},
        {"--seconds", [](PlayOptions& o, auto& n, auto& v) { o.seconds = seconds(n, v); }},
        {"--geometry", [](PlayOptions& o, auto& n, auto& v) { geometry(o, n, v); }},
        {"--audio", [](PlayOptions& o, auto& n, auto& v) { audio(o, n, v); }},
    };
    return table;
}

// An option's value is the next argument, or follows '=' in the same one (--tempo=90).
void applyValued(PlayOptions& o, const std::vector<std::string>& arguments, std::size_t& next,
                 const std::string& argument)
{
    const auto equals = argument.find('=');
    const std::string option = argument.substr(0, equals);
    const auto found = valuedOptions().find(option);
    if (found == valuedOptions().end()) usage("unknown option '" + argument + "'");
    if (equals != std::string::npos) {
        found->second(o, option, argument.substr(equals + 1));
        return;
    }
    if (next >= arguments.size()) usage(option + " needs a value");
    found->second(o, option, arguments[next++]);
}

// ALSA's default device where sound output is built in, else none.
const char* defaultAudioDevice()
{
    return kSoundOutputBuiltIn ? PlayOptions::kDefaultAudioDevice : PlayOptions::kNoAudio;
}

} // namespace

PlayOptions parsePlayOptions(const std::vector<std::string>& arguments)
{
    PlayOptions o;
    o.audioDevice = defaultAudioDevice();
    for (std::size_t next = 0; next < arguments.size();) {
        const std::string argument = arguments[next++];
        if (argument.size() < 2 || argument[0] != '-')
            usage("unexpected argument '" + argument + "': every setting is an option");
        if (const auto flag = flags().find(argument); flag != flags().end())
            flag->second(o);
        else
            applyValued(o, arguments, next, argument);
        if (o.help) return o;
    }
    return o;
}

} // namespace pl3play
