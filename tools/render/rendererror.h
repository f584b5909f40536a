// The errors of the render tool. Each carries one line that tells the user
// what was being done and why it failed; main() prints it with the tool's
// prefix and nothing else.
#pragma once

#include <stdexcept>
#include <string>

namespace pl3render {

// Something that stopped the render: a file, the plug-in, a timeline entry.
class RenderError : public std::runtime_error {
public:
    explicit RenderError(const std::string& message) : std::runtime_error(message) {}
};

// The command line itself is wrong; the tool exits with a different code so
// scripts can tell a mistyped call from a failed render.
class UsageError : public RenderError {
public:
    explicit UsageError(const std::string& message) : RenderError(message) {}
};

} // namespace pl3render
