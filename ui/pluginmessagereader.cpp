#include "pluginmessagereader.h"

#include "channel.h"

#include <limits>

namespace {

constexpr size_t kSingleByteSize = 1;
// A text record has the same opcode-and-length header as an open record.
constexpr size_t kTextHeaderSize = channel::kOpenHeaderSize;
// A text record's size beyond its declared text: the header and the closing 0 byte.
constexpr size_t kClosingByteSize = 1;

bool headerFits(size_t position, size_t header, size_t count)
{
    return position + header <= count;
}

// Reads the int32 length at lengthOffset and checks that header, text and closing byte all
// lie within the read. Answers the record's whole size, or 0 when it does not fit.
size_t textRecordSize(const uint8_t* bytes, size_t position, size_t header, size_t lengthOffset,
                      size_t count)
{
    if (!headerFits(position, header, count)) return 0;
    const int32_t n = channel::readInt32(bytes + position + lengthOffset);
    if (!channel::textRecordFits(position, header, n, count)) return 0;
    return header + size_t(n) + kClosingByteSize;
}

size_t readParameter(const uint8_t* bytes, size_t position, size_t count,
                     PluginMessageHandler& handler)
{
    if (!headerFits(position, channel::kParameterSize, count)) return 0;
    handler.parameter(channel::readInt32(bytes + position + 1),
                      channel::readFloat(bytes + position + 5));
    return channel::kParameterSize;
}

size_t readOpen(const uint8_t* bytes, size_t position, size_t count, PluginMessageHandler& handler)
{
    const size_t size = textRecordSize(bytes, position, channel::kOpenHeaderSize, 1, count);
    if (size == 0) return 0;
    const auto* text = reinterpret_cast<const char*>(bytes + position + channel::kOpenHeaderSize);
    handler.open(parseWindowId({text, size - channel::kOpenHeaderSize - kClosingByteSize}));
    return size;
}

size_t readParameterBatch(const uint8_t* bytes, size_t position, size_t count,
                          PluginMessageHandler& handler)
{
    const size_t size = textRecordSize(bytes, position, channel::kBatchHeaderSize,
                                       1 + channel::kBatchValues, count);
    if (size == 0) return 0;
    for (size_t k = 0; k < channel::kBatchValues; ++k)
        handler.parameter(int32_t(k), float(bytes[position + 1 + k] / 255.0));
    return size;
}

// Answers the number of bytes the record at position takes, or 0 when the walk must end there
// (the handler has then been told why).
size_t readRecord(const uint8_t* bytes, size_t position, size_t count,
                  PluginMessageHandler& handler)
{
    size_t size = 0;
    switch (bytes[position]) {
    case channel::kParameter:
        size = readParameter(bytes, position, count, handler);
        break;
    case 2: // one-byte opcodes that the UI consumes and ignores
    case 4:
    case channel::kOpcode5:
        return kSingleByteSize;
    case channel::kOpen:
        size = readOpen(bytes, position, count, handler);
        break;
    case channel::kTerminate:
        handler.terminate();
        return 0;
    case channel::kParameterBatch:
        size = readParameterBatch(bytes, position, count, handler);
        break;
    case channel::kText:
        size = textRecordSize(bytes, position, kTextHeaderSize, 1, count);
        break;
    default:
        break;
    }
    if (size == 0) handler.unhandled();
    return size;
}

} // namespace

void readPluginMessages(const uint8_t* bytes, size_t count, PluginMessageHandler& handler)
{
    size_t position = 0;
    while (position < count) {
        const size_t size = readRecord(bytes, position, count, handler);
        if (size == 0) return;
        position += size;
    }
}

unsigned long parseWindowId(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return 0;
    constexpr unsigned long kMax = std::numeric_limits<unsigned long>::max();
    unsigned long id = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        const auto digit = static_cast<unsigned long>(c - '0');
        if (id > (kMax - digit) / 10) return 0;
        id = id * 10 + digit;
    }
    return id;
}
