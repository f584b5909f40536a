// The play tool's command line, parsed without touching any file, device or display:
//   pravolindel3-play [OPTIONS]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pl3play {

struct PlayOptions {
    static constexpr const char* kDefaultOutput = "pravolindel3-play.wav";
    static constexpr const char* kNoAudio = "none";
    static constexpr const char* kDefaultAudioDevice = "default";
    static constexpr double kMinTempo = 20.0;
    static constexpr double kMaxTempo = 400.0;
    static constexpr int kMinRate = 8000;
    static constexpr int kMaxRate = 192000;
    static constexpr std::int32_t kMinBlock = 16;
    static constexpr std::int32_t kMaxBlock = 16384;
    static constexpr double kMaxSeconds = 1e6;

    bool help = false;
    std::string plugin; // empty: the PravoLindel3.so beside the executable
    std::string input;  // empty: the demo's groove
    std::string output = kDefaultOutput;
    double tempo = 120.0;
    int rate = 44100;
    bool rateGiven = false; // an input file plays at its own rate unless --rate names one
    std::int32_t blockSize = 256;
    double seconds = 0.0; // 0: until a signal or the window closes
    int windowX = 100;
    int windowY = 100;
    std::string eventsFile;  // empty: no events file
    std::string audioDevice; // kNoAudio: pace by the clock alone
    bool editor = true;
    bool midiPort = false; // an ALSA sequencer port for live notes
    std::string midiFile;  // empty: no notes file

    bool limited() const { return seconds > 0.0; }
    bool audible() const { return audioDevice != kNoAudio; }
    bool takesNotes() const { return midiPort || !midiFile.empty(); }
};

// `arguments` without the program name. Throws pl3render::UsageError for an unknown option, a
// missing or malformed value or a stray argument; --help returns at once with `help` set.
PlayOptions parsePlayOptions(const std::vector<std::string>& arguments);

} // namespace pl3play
