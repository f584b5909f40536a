#include "mainwidget.h"

#include <QCoreApplication>
#include <QtDebug>

namespace {
constexpr int kWidth = 260;
constexpr int kHeight = 517;

bool isParameterIndex(int index, int count)
{
    return index >= 0 && index < count;
}
} // namespace

MainWidget::MainWidget(UICommunication* communication, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), communication(communication)
{
    setObjectName("mainwidget");
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QCoreApplication::translate("PravoLindel", "Pravo lindel"));
}

float MainWidget::parameter(int index) const
{
    return isParameterIndex(index, kParameterCount) ? values[size_t(index)] : 0.0f;
}

void MainWidget::setParameter(int index, float value)
{
    if (!isParameterIndex(index, kParameterCount)) return;
    values[size_t(index)] = value;
    qDebug("PravoLindel3UI > setParameter %d %g", index, double(value));
}
