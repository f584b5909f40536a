#include "parametertable.h"

#include "numbers.h"
#include "rendererror.h"

#include <algorithm>
#include <cctype>

namespace pl3render {

namespace {

constexpr int kNotFound = -1;

std::string spacesForUnderscores(std::string text)
{
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isDecimal(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

} // namespace

ParameterTable::ParameterTable(std::vector<std::string> names) : names_(std::move(names)) {}

int ParameterTable::resolve(const std::string& reference) const
{
    int found = find(reference);
    if (found == kNotFound) found = find(spacesForUnderscores(reference));
    if (found == kNotFound) found = findIgnoringCase(spacesForUnderscores(reference));
    if (found == kNotFound) found = index(reference);
    if (found == kNotFound)
        throw RenderError("the plug-in has no parameter '" + reference + "' (it has " + offered() +
                          ")");
    return found;
}

int ParameterTable::find(const std::string& reference) const
{
    const auto match = std::find(names_.begin(), names_.end(), reference);
    return match == names_.end() ? kNotFound : static_cast<int>(match - names_.begin());
}

int ParameterTable::findIgnoringCase(const std::string& reference) const
{
    const std::string wanted = lowerCase(reference);
    int found = kNotFound;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (lowerCase(spacesForUnderscores(names_[i])) != wanted) continue;
        if (found != kNotFound) return kNotFound; // two names differ only in case: say neither
        found = static_cast<int>(i);
    }
    return found;
}

int ParameterTable::index(const std::string& reference) const
{
    if (!isDecimal(reference)) return kNotFound;
    const auto number = parseInteger(reference);
    if (!number || *number >= static_cast<long long>(names_.size())) return kNotFound;
    return static_cast<int>(*number);
}

std::string ParameterTable::offered() const
{
    if (names_.empty()) return "none";
    std::string text = std::to_string(names_.size()) + ": ";
    for (std::size_t i = 0; i < names_.size(); ++i)
        text += (i ? ", " : "") + (names_[i].empty() ? std::to_string(i) : names_[i]);
    return text + ", or an index 0.." + std::to_string(names_.size() - 1);
}

} // namespace pl3render
