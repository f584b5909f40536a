// The argument and environment tables posix_spawn takes, made from strings.
#pragma once

#include <string>
#include <vector>

namespace pl3test {

// This process's environment with each NAME=VALUE of changes replacing or adding to it.
std::vector<std::string> environmentWith(const std::vector<std::string>& changes);
// The texts' characters as a null-terminated table; valid while the texts are.
std::vector<char*> pointersTo(std::vector<std::string>& texts);

} // namespace pl3test
