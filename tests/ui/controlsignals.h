// The signals that controls emit, recorded in the order emitted, across any number of them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class Button;
class Control;

struct ControlSignal {
    enum class Kind { Value, Begin, End, Toggled };
    Kind kind;
    int tag;
    float value = 0.0f; // the value sent; for Toggled 1 or 0

    bool operator==(const ControlSignal&) const = default;
};

ControlSignal valueOf(int tag, float value);
ControlSignal beginOf(int tag);
ControlSignal endOf(int tag);
ControlSignal toggledOf(int tag, bool on);
void PrintTo(const ControlSignal& signal, std::ostream* out);

class ControlSignals {
public:
    // Records valueChanged, beginEdit and endEdit of the control from now on.
    void watch(Control* control);
    // Also toggled.
    void watch(Button* button);
    // What was recorded since the last call.
    std::vector<ControlSignal> take();

private:
    std::vector<ControlSignal> recorded;
};
