#include "buttongroup.h"

#include "button.h"

void ButtonGroup::addButton(Button* button)
{
    connect(button, &Button::toggled, this, &ButtonGroup::exclusivitor);
}

void ButtonGroup::removeButton(Button* button)
{
    disconnect(button, nullptr, this, nullptr);
    if (selectedButton == button) selectedButton = nullptr;
}

void ButtonGroup::exclusivitor(bool on)
{
    // A selected button turned off by hand stays the selected one.
    if (!on) return;
    auto* chosen = qobject_cast<Button*>(sender());
    // Turned on again by hand in a group that does not lock: it stays selected and on.
    if (!chosen || chosen == selectedButton) return;
    if (selectedButton) {
        if (lockSelected) selectedButton->setLocked(false);
        selectedButton->setValue(0.0f);
        emit selectedButton->valueChanged(selectedButton->controlTag(), 0.0f);
    }
    selectedButton = chosen;
    if (lockSelected) chosen->setLocked(true);
}
