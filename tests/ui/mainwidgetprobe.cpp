#include "mainwidgetprobe.h"

#include "button.h"
#include "knob.h"
#include "mainwidget.h"

#include <limits>

float knobValue(MainWidget& mainWidget, int index)
{
    const auto* knob = qobject_cast<Knob*>(mainWidget.findControl(index));
    return knob ? knob->currentValue() : std::numeric_limits<float>::quiet_NaN();
}

bool buttonPressed(MainWidget& mainWidget, int index)
{
    const auto* button = qobject_cast<Button*>(mainWidget.findControl(index));
    return button && button->shownFace() == Button::Face::Pressed;
}
