// What the main widget shows for a parameter, read from the control that has its index.
#pragma once

class MainWidget;

// The value of the knob with this index; NaN when the index has no knob.
float knobValue(MainWidget& mainWidget, int index);
// The button with this index shows its pressed image; false when the index has no button.
bool buttonPressed(MainWidget& mainWidget, int index);
