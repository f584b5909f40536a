// The small pill-shaped buttons: a rounded 48 x 16 bar in three states.
#pragma once

#include <QImage>

namespace pl3artwork {

inline constexpr int kPillWidth = 48;
inline constexpr int kPillHeight = 16;

enum class PillState {
    Normal,  // flat grey
    Active,  // the accent blue
    Pressed, // grey, pushed in: shaded from below
};

// Drawn at scale times its size: 1 as the UI shows it, 2 for a UI drawn at twice that.
QImage renderPill(PillState state, int scale = 1);

} // namespace pl3artwork
