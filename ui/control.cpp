#include "control.h"

#include "mainwidget.h"
#include "uicommunication.h"

#include <QtDebug>

#include <algorithm>

namespace {

const QString kMainWidgetName = QStringLiteral("mainwidget");

// While the main widget builds its controls it is still the parentless window itself; once it
// has been embedded it sits somewhere below the container's window.
MainWidget* findMainWidget(QWidget* parent)
{
    if (!parent) return nullptr;
    QWidget* top = parent->window();
    if (top->objectName() == kMainWidgetName)
        if (auto* found = qobject_cast<MainWidget*>(top)) return found;
    return top->findChild<MainWidget*>(kMainWidgetName);
}

} // namespace

Control::Control(QWidget* parent) : QWidget(parent)
{
    if (MainWidget* found = findMainWidget(parent))
        registerWith(found);
    else
        qDebug("PravoLindel3UI > Control ERROR!!! can't find mainwidget");
}

Control::~Control()
{
    if (mainWidget) mainWidget->removeControl(this);
}

void Control::registerWith(MainWidget* widget)
{
    mainWidget = widget;
    changed = false;
    communication = widget->communication;
    // Registration takes no lock: controls are made on the GUI thread, which also reads them.
    widget->controls.append(this);
    // Same object, same thread: the record is written before valueChanged returns.
    connect(this, &Control::valueChanged, this, &Control::setParameterAutomated);
}

void Control::setValueFromPlugin(float value)
{
    // Echoes come back in the order sent. One found further on means the records before it
    // were lost on the way, and nothing will answer them any more.
    const auto echo = std::find(unechoed.begin(), unechoed.end(), value);
    if (echo != unechoed.end())
        unechoed.erase(unechoed.begin(), echo + 1);
    else if (unechoed.empty())
        setValue(value);
}

void Control::setParameterAutomated(int tag, float value)
{
    if (tag < 0 || !communication || !communication->sendParameter(tag, value)) return;
    // Only this control's own parameter comes back to it.
    if (tag == this->tag) unechoed.push_back(value);
}

void Control::plugBeginEdit(int) {}

void Control::plugEndEdit(int) {}
