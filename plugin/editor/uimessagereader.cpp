#include "uimessagereader.h"

#include "channel.h"

namespace uimessages {

namespace {
bool isSkipped(uint8_t opcode)
{
    switch (opcode) {
    case 2:
    case 3:
    case 4:
    case 10:
    case 11:
    case 12:
    case 16:
    case 17:
        return true;
    default:
        return false;
    }
}
} // namespace

void walk(const uint8_t* bytes, size_t count, Handler& handler)
{
    size_t position = 0;
    while (position < count) {
        const uint8_t opcode = bytes[position];
        if (opcode == channel::kParameter && position + channel::kParameterSize <= count) {
            handler.parameter(channel::readInt32(bytes + position + 1),
                              channel::readFloat(bytes + position + 5));
            position += channel::kParameterSize;
        } else if (isSkipped(opcode)) {
            ++position;
        } else {
            handler.unhandled(opcode);
            return;
        }
    }
}

} // namespace uimessages
