// A musician's hands on the X server: the real pointer, moved and pressed through xdotool, so
// that the UI process receives exactly the events a mouse would give it.
#pragma once

namespace musician {

enum class MouseButton { Left = 1, Middle = 2, Right = 3 };

void moveTo(int x, int y);
void press(MouseButton button);
void release(MouseButton button);
void click(int x, int y, MouseButton button);
// Presses at (x, y), moves dy pixels vertically (negative: upwards) a few pixels at a time as
// a hand would, and releases.
void drag(int x, int y, int dy);

} // namespace musician
