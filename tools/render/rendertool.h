// The render tool from a parsed command line to a written file: gathers the
// timeline, reads the input, runs the session and writes the output whole.
#pragma once

#include "commandline.h"

#include <cstdio>

namespace pl3render {

// The summary goes to `out`, the progress line to `terminal` (when it is a
// terminal). Throws RenderError; leaves no output file behind when it does.
void runRenderTool(const CommandLine& commandLine, std::FILE* out, std::FILE* terminal);

// The timeline files, in the order named, then the command line's events,
// all in the order they apply.
std::vector<TimelineEvent> gatherTimeline(const CommandLine& commandLine);

} // namespace pl3render
