// The square push button, seen from above: a cap in a dark bezel, in three lightings.
#pragma once

#include <QImage>

namespace pl3artwork {

// The side the button is designed at; every measure of the drawing is in these pixels.
inline constexpr int kPushButtonSize = 200;

enum class PushButtonLight {
    Unlit, // a grey cap
    Lit,   // the cap in bright blue with a blue glow around it
    Dim,   // the cap in a dark blue, without glow
};

// A square image of side size.
QImage renderPushButton(PushButtonLight light, int size = kPushButtonSize);

} // namespace pl3artwork
