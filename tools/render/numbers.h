// Strict number parsing and exact number formatting for the command line and
// the timeline syntax: a text is a number only if all of it is, and a number
// written out parses back to the very same value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pl3render {

std::optional<double> parseDouble(std::string_view text);
std::optional<float> parseFloat(std::string_view text);
std::optional<long long> parseInteger(std::string_view text);

// The shortest text that reads back as exactly this value.
std::string formatNumber(double value);
std::string formatNumber(float value);

std::string_view trim(std::string_view text);

} // namespace pl3render
