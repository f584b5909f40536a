#include "controlsignals.h"

#include "button.h"
#include "control.h"

#include <utility>

ControlSignal valueOf(int tag, float value)
{
    return {ControlSignal::Kind::Value, tag, value};
}

ControlSignal beginOf(int tag)
{
    return {ControlSignal::Kind::Begin, tag};
}

ControlSignal endOf(int tag)
{
    return {ControlSignal::Kind::End, tag};
}

ControlSignal toggledOf(int tag, bool on)
{
    return {ControlSignal::Kind::Toggled, tag, on ? 1.0f : 0.0f};
}

void PrintTo(const ControlSignal& signal, std::ostream* out)
{
    const char* names[] = {"valueChanged", "beginEdit", "endEdit", "toggled"};
    *out << names[int(signal.kind)] << "(" << signal.tag;
    if (signal.kind == ControlSignal::Kind::Value) *out << ", " << signal.value;
    if (signal.kind == ControlSignal::Kind::Toggled) *out << ", " << (signal.value != 0.0f);
    *out << ")";
}

void ControlSignals::watch(Control* control)
{
    QObject::connect(control, &Control::valueChanged,
                     [this](int tag, float value) { recorded.push_back(valueOf(tag, value)); });
    QObject::connect(control, &Control::beginEdit,
                     [this](int tag) { recorded.push_back(beginOf(tag)); });
    QObject::connect(control, &Control::endEdit,
                     [this](int tag) { recorded.push_back(endOf(tag)); });
}

void ControlSignals::watch(Button* button)
{
    watch(static_cast<Control*>(button));
    QObject::connect(button, &Button::toggled, [this, button](bool on) {
        recorded.push_back(toggledOf(button->controlTag(), on));
    });
}

std::vector<ControlSignal> ControlSignals::take()
{
    return std::exchange(recorded, {});
}
