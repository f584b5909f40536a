// The UI's fonts, by the role they play in the window. Every role asks first for its
// Tw Cen MT family, used where the system has it, and falls back to the Roboto Condensed cut
// that the resource bundle carries under the same file name. GUI thread only.
#pragma once

#include <QFont>

// Registers the bundle's caption font file ":/Resources/TCCEB.TTF" with the application, once
// before the first widget is built. Answers the font id, -1 when it cannot be registered.
int registerCaptionFontFile();

// Registers the bundle's menu font file ":/Resources/TCCM.TTF", each time the FX menu is set up.
// Answers the font id, -1 when it cannot be registered.
int registerMenuFontFile();

// The five panel group boxes: "Tw Cen MT Condensed Extra Bold", 14 point.
QFont groupFont();

// The captions above and below each loop's controls and the value displays:
// "Tw Cen MT Condensed Extra Bold", 9 point.
QFont labelFont();

// The FX context menu: "Tw Cen MT Condensed", 12 point.
QFont menuFont();
