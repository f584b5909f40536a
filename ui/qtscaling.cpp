#include "qtscaling.h"

#include <QByteArray>
#include <QtGlobal>

void switchOffQtScaling()
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", QByteArrayLiteral("0"));
    // Qt takes the font resolution from Xft.dpi otherwise, even with scaling off.
    qputenv("QT_FONT_DPI", QByteArrayLiteral("96"));
    // The factors apply even with scaling off. QT_AUTO_SCREEN_SCALE_FACTOR is Qt 5's name for
    // the switch; it goes too, so that no setting of it is left to be read.
    for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                             "QT_AUTO_SCREEN_SCALE_FACTOR"})
        qunsetenv(name);
}
