// Where the editor's controls lie, relative to its top-left corner: four loop strips 104 pixels
// apart, the oscilloscope's panel below them.
#pragma once

#include "screenshot.h"

namespace layout {

struct Point {
    int x;
    int y;
};

constexpr int kEditorWidth = 260;
constexpr int kEditorHeight = 517;
constexpr int kStripPitch = 104;

constexpr Point valueKnob(int loop)
{
    return {76, kStripPitch * loop + 58};
}
constexpr Point loopButton(int loop)
{
    return {28, kStripPitch * loop + 58};
}
// A place on the strip between its knobs and above its FX button, where no control lies.
constexpr Point stripBackground(int loop)
{
    return {132, kStripPitch * loop + 38};
}
constexpr musician::Rect valueDisplay(int loop)
{
    return {56, kStripPitch * loop + 80, 45, 16};
}
constexpr musician::Rect speedDisplay(int loop)
{
    return {166, kStripPitch * loop + 80, 45, 16};
}
constexpr musician::Rect wholeEditor()
{
    return {0, 0, kEditorWidth, kEditorHeight};
}
// Everything above the oscilloscope's panel.
constexpr musician::Rect strips()
{
    return {0, 0, kEditorWidth, 4 * kStripPitch};
}
constexpr musician::Rect oscilloscope()
{
    return {2, 426, 255, 81};
}

} // namespace layout
