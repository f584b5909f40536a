#include "numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace pl3render {

namespace {

// from_chars takes no leading '+', which people type for positions and tempi.
std::string_view withoutPlus(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    return text;
}

template <typename Number> std::optional<Number> parseWhole(std::string_view text)
{
    text = withoutPlus(text);
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>)
        if (!std::isfinite(value)) return std::nullopt;
    return value;
}

template <typename Number> std::string formatShortest(Number value)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

} // namespace

std::optional<double> parseDouble(std::string_view text)
{
    return parseWhole<double>(text);
}

std::optional<float> parseFloat(std::string_view text)
{
    return parseWhole<float>(text);
}

std::optional<long long> parseInteger(std::string_view text)
{
    return parseWhole<long long>(text);
}

std::string formatNumber(double value)
{
    return formatShortest(value);
}

std::string formatNumber(float value)
{
    return formatShortest(value);
}

std::string_view trim(std::string_view text)
{
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

} // namespace pl3render
