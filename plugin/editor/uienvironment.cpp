#include "uienvironment.h"

#include "qtscalingsettings.h"

#include <algorithm>
#include <string_view>

namespace {

bool isReplaced(std::string_view entry)
{
    const std::string_view name = entry.substr(0, entry.find('='));
    const auto set = [&](const qtscaling::Setting& setting) { return setting.name == name; };
    return std::find(qtscaling::kRemoved.begin(), qtscaling::kRemoved.end(), name) !=
               qtscaling::kRemoved.end() ||
           std::any_of(qtscaling::kSet.begin(), qtscaling::kSet.end(), set);
}

} // namespace

UiEnvironment::UiEnvironment(char* const* host)
{
    for (char* const* entry = host; entry && *entry; ++entry)
        if (!isReplaced(*entry)) texts.emplace_back(*entry);
    for (const qtscaling::Setting& setting : qtscaling::kSet)
        texts.push_back(std::string(setting.name) + '=' + std::string(setting.value));
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
}
