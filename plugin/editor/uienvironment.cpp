#include "uienvironment.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// Qt's scaling settings: these the UI does without, and those it gets in their place.
constexpr std::array<std::string_view, 5> kReplaced = {
    "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
    "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI"};
// A device pixel ratio of 1, and fonts at the 96 dpi the layout is drawn for.
constexpr std::array<const char*, 2> kUiSettings = {"QT_ENABLE_HIGHDPI_SCALING=0",
                                                     "QT_FONT_DPI=96"};

bool isReplaced(std::string_view entry)
{
    const std::string_view name = entry.substr(0, entry.find('='));
    return std::find(kReplaced.begin(), kReplaced.end(), name) != kReplaced.end();
}

} // namespace

UiEnvironment::UiEnvironment(char* const* host)
{
    for (char* const* entry = host; entry && *entry; ++entry)
        if (!isReplaced(*entry)) texts.emplace_back(*entry);
    texts.insert(texts.end(), kUiSettings.begin(), kUiSettings.end());
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
}
