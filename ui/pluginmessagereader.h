// The UI's reading of the plugin FIFO: one walk over the bytes of one read.
//
// Plain C++ with no Qt and no widgets, so that the walk can be driven alone from any byte
// buffer (unit tests, fuzzing) and only the handler decides what a record does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What the walk finds, in the order the records stand in the read.
class PluginMessageHandler {
public:
    virtual ~PluginMessageHandler() = default;

    // A parameter record: index as sent (not range-checked here), value as sent.
    virtual void parameter(int32_t index, float value) = 0;
    // An open record: the host's new editor window; 0 when its text is no window id.
    virtual void open(unsigned long windowId) = 0;
    // The terminate record; the walk stops after it.
    virtual void terminate() = 0;
    // An opcode the UI does not know, or a record that does not fit in the read; the walk
    // stops and the rest of the read is dropped.
    virtual void unhandled() = 0;
};

// Walks count bytes from bytes[0] and reports each record to the handler. Reads nothing
// outside [bytes, bytes + count) and consumes at least one byte per step, so it always ends.
void readPluginMessages(const uint8_t* bytes, size_t count, PluginMessageHandler& handler);

// The window id in an open record's text: the characters up to the first 0 byte (or all of
// them), decimal digits only, fitting an unsigned long. Anything else, empty text included,
// gives 0.
unsigned long parseWindowId(std::string_view text);
