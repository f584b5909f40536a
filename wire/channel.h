// The plug-in/UI message channel: file names and record formats, shared by the
// plug-in and the UI program. Plain C++ with no plug-in or Qt dependency.
//
// A record is one opcode byte and its payload, multi-byte fields in native byte
// order with no gaps, each written with one write call so that it stays whole
// at the pipe. The plug-in writes the plugin FIFO and reads the UI FIFO; the UI
// the other way round.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace channel {

enum Opcode : uint8_t {
    kParameter = 1,       // both ways: int32 index, float32 value
    kOpcode5 = 5,         // plug-in to UI, one byte, never sent
    kOpen = 6,            // plug-in to UI: int32 n, n characters of window id, a 0 byte
    kTerminate = 7,       // plug-in to UI: one 0 byte
    kParameterBatch = 16, // read by the UI only: 7 bytes, int32 n, n characters, a 0 byte
    kText = 17,           // read by the UI only: int32 n, n characters, a 0 byte
};

constexpr size_t kParameterSize = 9;
constexpr size_t kTerminateSize = 2;
// Opcode and length before the text of an open, batch or text record.
constexpr size_t kOpenHeaderSize = 5;
constexpr size_t kBatchHeaderSize = 12;
constexpr size_t kBatchValues = 7;
// The longest window id text: the decimal digits of a 64-bit unsigned number.
constexpr size_t kMaxWindowText = 20;
constexpr size_t kMaxOpenSize = kOpenHeaderSize + kMaxWindowText + 1;

inline std::string instanceText(int32_t instanceNumber)
{
    return std::to_string(instanceNumber);
}
inline std::string uiFifoPath(int32_t instanceNumber)
{
    return "/tmp/pravolindel3ui" + instanceText(instanceNumber) + ".fifo";
}
inline std::string pluginFifoPath(int32_t instanceNumber)
{
    return "/tmp/pravolindel3plugin" + instanceText(instanceNumber) + ".fifo";
}
inline std::string uiExecutablePath(int32_t instanceNumber)
{
    return "/tmp/PravoLindel3UI" + instanceText(instanceNumber);
}

// Field access by memcpy: records sit at any offset of a read buffer.
inline int32_t readInt32(const uint8_t* at)
{
    int32_t value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}
inline float readFloat(const uint8_t* at)
{
    float value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

inline std::array<uint8_t, kParameterSize> encodeParameter(int32_t index, float value)
{
    std::array<uint8_t, kParameterSize> record{kParameter};
    std::memcpy(record.data() + 1, &index, sizeof(index));
    std::memcpy(record.data() + 5, &value, sizeof(value));
    return record;
}

inline std::array<uint8_t, kTerminateSize> encodeTerminate()
{
    return {kTerminate, 0};
}

// An open record for the window id text; answers its length in bytes, 0 when
// the text is too long to be a window id.
inline size_t encodeOpen(const std::string& windowText, std::array<uint8_t, kMaxOpenSize>& record)
{
    if (windowText.size() > kMaxWindowText) return 0;
    const auto n = int32_t(windowText.size());
    record[0] = kOpen;
    std::memcpy(record.data() + 1, &n, sizeof(n));
    std::memcpy(record.data() + kOpenHeaderSize, windowText.data(), windowText.size());
    record[kOpenHeaderSize + windowText.size()] = 0;
    return kOpenHeaderSize + windowText.size() + 1;
}

// A record that declares a text of n bytes ends header + n + 1 bytes after its
// start; it is whole only if that lies within the bytes read.
inline bool textRecordFits(size_t position, size_t header, int32_t n, size_t count)
{
    return n >= 0 && position + header + size_t(n) + 1 <= count;
}

} // namespace channel
