// The UI scales its fixed layout itself to the window the host gives it (ScaledView), so Qt
// must not scale as well: a desktop at 150 % or 200 % sets Xft.dpi, and users set
// QT_SCALE_FACTOR or QT_SCREEN_SCALE_FACTORS, and either would make Qt enlarge the windows or
// the fonts a second time. The plug-in starts the UI with the same settings; doing it here as
// well keeps a UI started by hand, or by a host that rewrites the environment, the same.
#pragma once

// Sets the environment so that the QApplication constructed afterwards keeps a device pixel
// ratio of 1 and fonts at 96 dpi (qtscalingsettings.h). Must run before the application
// object exists; Qt reads these once.
void switchOffQtScaling();
