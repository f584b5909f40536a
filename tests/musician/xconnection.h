// One connection to the X server for the whole test process: the screenshots and window
// look-ups go through it rather than paying a connection each.
#pragma once

struct _XDisplay;

namespace musician {

// Throws when there is no X server to connect to.
::_XDisplay* xDisplay();
// Of the default screen, in pixels.
int screenHeight();

} // namespace musician
