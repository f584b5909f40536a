// The environment that switches Qt's own scaling off in the UI program, which
// scales its fixed layout itself to the window the host gives it. The plug-in
// starts the UI with it, and the UI applies it to itself before Qt starts, so a
// UI started by hand is the same.
#pragma once

#include <array>
#include <string_view>

namespace qtscaling {

struct Setting {
    std::string_view name;
    std::string_view value;
};

// The factors apply even with scaling off; QT_AUTO_SCREEN_SCALE_FACTOR is Qt 5's
// name for the switch and goes too, so that no setting of it is left to be read.
inline constexpr std::array<std::string_view, 3> kRemoved = {
    "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR"};
// A device pixel ratio of 1, and fonts at the 96 dpi the layout is drawn for:
// Qt takes the font resolution from Xft.dpi otherwise, even with scaling off.
inline constexpr std::array<Setting, 2> kSet = {
    Setting{"QT_ENABLE_HIGHDPI_SCALING", "0"}, Setting{"QT_FONT_DPI", "96"}};

} // namespace qtscaling
