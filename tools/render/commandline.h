// The render tool's command line, parsed without touching any file:
//   pravolindel3-render [OPTIONS] INPUT OUTPUT [EVENT...]
// Events given with --at or after OUTPUT are parsed here; timeline files are
// only named, and read by the tool.
#pragma once

#include "timeline.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pl3render {

struct CommandLine {
    static constexpr std::int32_t kMaxBlockSize = 1 << 20;

    bool help = false;
    bool listParameters = false;
    bool quiet = false;
    std::string input;
    std::string output;
    std::string plugin; // empty: the PravoLindel3.so beside the executable
    std::int32_t blockSize = 512;
    double tempo = 120.0;
    double startBeat = 0.0;
    double prerollSeconds = 0.0;
    bool exact = false;
    bool tempoValid = true;
    bool ppqValid = true;
    bool timeInfo = true;
    std::vector<std::string> timelineFiles;
    std::vector<TimelineEvent> events; // --at and positional, in the order given
    std::string writeTimeline;

    bool renders() const { return !input.empty(); }
};

// `arguments` without the program name. Throws UsageError for an unknown
// option, a missing or malformed option value, a malformed event or missing
// files; --help returns at once with `help` set, and --list-parameters needs
// no files.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

} // namespace pl3render
