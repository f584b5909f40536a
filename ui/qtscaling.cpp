#include "qtscaling.h"

#include "qtscalingsettings.h"

#include <QByteArray>
#include <QtGlobal>

void switchOffQtScaling()
{
    for (const qtscaling::Setting& setting : qtscaling::kSet)
        qputenv(QByteArray(setting.name.data(), qsizetype(setting.name.size())).constData(),
                QByteArray(setting.value.data(), qsizetype(setting.value.size())));
    for (std::string_view name : qtscaling::kRemoved)
        qunsetenv(QByteArray(name.data(), qsizetype(name.size())).constData());
}
