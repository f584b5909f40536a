// Colours shared by every picture, so that the knob arc, the lit buttons and the oscilloscope
// trace of the UI show one and the same blue.
#pragma once

#include <QColor>

namespace pl3artwork {

inline QColor accentBlue()
{
    return QColor(0, 143, 214, 254);
}

// The accent as a solid fill: its alpha of 254 would leave a cap or pill faintly see-through.
inline QColor solidAccentBlue()
{
    QColor colour = accentBlue();
    colour.setAlpha(255);
    return colour;
}

} // namespace pl3artwork
