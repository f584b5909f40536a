// What --help prints.
#pragma once

#include <string>

namespace pl3play {

// The defaults it names depend on the build (sound output or not).
std::string playHelpText();

} // namespace pl3play
