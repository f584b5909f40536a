// Menus: top-level windows that bypass the window manager (override-redirect), which is how
// Qt shows a context menu.
#pragma once

#include "screenshot.h"

#include <optional>
#include <vector>

namespace musician {

// The viewable override-redirect windows on the screen now, where they lie.
std::vector<Rect> popupWindows();
// One that is on the screen now and was not among `before`.
std::optional<Rect> newPopup(const std::vector<Rect>& before);

} // namespace musician
