// The plug-in's reading of the UI FIFO: one read's bytes, walked record by record.
// Kept apart from the editor so that it can be tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace uimessages {

class Handler {
public:
    virtual ~Handler() = default;
    virtual void parameter(int32_t index, float value) = 0;
    // The walk stopped at this opcode byte, which it does not know or which
    // runs past the bytes read.
    virtual void unhandled(uint8_t opcode) = 0;
};

// Applies the records of bytes[0, count) in order. A parameter record is nine
// bytes; the single-byte opcodes 2, 3, 4, 10, 11, 12, 16 and 17 are skipped;
// anything else, or a record cut off by the end of the read, ends the walk.
void walk(const uint8_t* bytes, size_t count, Handler& handler);

} // namespace uimessages
