// Where the plug-in is when none is named: the PravoLindel3.so that the build
// puts beside this executable.
#pragma once

#include <string>

namespace pl3render {

constexpr const char* kPluginFileName = "PravoLindel3.so";

// The folder of the running executable, from /proc/self/exe; RenderError if
// the link cannot be read.
std::string executableFolder();
std::string defaultPluginPath();

} // namespace pl3render
