// The square push button, seen from above: a cap in a dark bezel, in three lightings.
#pragma once

#include <QImage>

namespace pl3artwork {

inline constexpr int kPushButtonSize = 200;

enum class PushButtonLight {
    Unlit, // a grey cap
    Lit,   // the cap in bright blue with a blue glow around it
    Dim,   // the cap in a dark blue, without glow
};

QImage renderPushButton(PushButtonLight light);

} // namespace pl3artwork
