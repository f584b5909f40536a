// A host gone wrong: random sequences of dispatcher calls (any opcode, index
// and value, with buffers of the sizes hosts give), parameters with any index
// and float bit pattern, blocks of 0 to 4,096 frames under random time
// information, and event lists of any shape before a block, against the real
// library.
#include "vst24.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

// The fuzz input, read from the front; reads past its end give zeros.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool empty() const { return position >= size; }
    template <typename T> T take()
    {
        T value{};
        const size_t n = std::min(sizeof(T), size - std::min(size, position));
        std::memcpy(&value, data + position, n);
        position += sizeof(T);
        return value;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

VstTimeInfo timeInfo{};
bool timeInfoGiven = false;

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return timeInfoGiven ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    default:
        return 0;
    }
}

Entry entry()
{
    static Entry loaded = [] {
        void* library = dlopen(PL3_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            std::abort();
        return reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
    }();
    return loaded;
}

// Opcodes that would start the UI process or end the instance are left to the
// driver; everything else goes through as the bytes say.
bool isDriverOnly(VstInt32 opcode)
{
    return opcode == effClose || opcode == effEditOpen;
}

void dispatch(AEffect& effect, Bytes& in)
{
    const auto opcode = in.take<VstInt32>() % 96;
    const auto index = in.take<VstInt32>();
    auto value = in.take<int64_t>();
    const auto opt = in.take<float>();
    if (isDriverOnly(opcode))
        return;
    // What hosts hand over: a text or record buffer, and for the two speaker
    // opcodes a pointer in value as well.
    alignas(16) static uint8_t buffer[4096];
    alignas(16) static uint8_t second[4096];
    std::memset(buffer, 0, sizeof(buffer));
    std::memset(second, 0, sizeof(second));
    const auto textLength = size_t(in.take<uint8_t>());
    for (size_t i = 0; i < textLength; ++i)
        buffer[i] = in.take<uint8_t>();
    if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement)
        value = reinterpret_cast<intptr_t>(second);
    effect.dispatcher(&effect, opcode, index, VstIntPtr(value), buffer, opt);
}

void process(AEffect& effect, Bytes& in)
{
    static std::vector<float> channels[4];
    const auto frames = VstInt32(in.take<uint16_t>() % 4097);
    for (auto& channel : channels)
        channel.assign(4096, 0.0f);
    const auto seed = in.take<uint32_t>();
    for (VstInt32 i = 0; i < frames; ++i) {
        channels[0][size_t(i)] = float(int32_t(seed * uint32_t(i + 1))) / 2147483648.0f;
        channels[1][size_t(i)] = -channels[0][size_t(i)];
    }
    timeInfoGiven = (in.take<uint8_t>() & 1) != 0;
    timeInfo.flags = in.take<VstInt32>();
    timeInfo.sampleRate = in.take<double>();
    timeInfo.tempo = in.take<double>();
    timeInfo.ppqPos = in.take<double>();
    float* inputs[2] = {channels[0].data(), channels[1].data()};
    float* outputs[2] = {channels[2].data(), channels[3].data()};
    effect.processReplacing(&effect, inputs, outputs, frames);
    for (int c = 2; c < 4; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            if (!std::isfinite(channels[c][size_t(i)]))
                std::abort();
}

// A list with room for as many pointers as the plug-in reads of any list, so
// that reading past them is an overflow the sanitizer reports.
constexpr size_t kListRoom = 512;
constexpr size_t kMaxFilledEntries = 32;
struct EventList {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[kListRoom];
};

// An event list as the bytes make it: none at all, or any count over up to 32
// entries, each null or an event of any type, size, frame and three bytes.
void sendEvents(AEffect& effect, Bytes& in)
{
    static EventList list;
    static VstMidiEvent events[kMaxFilledEntries];
    list = EventList{};
    const bool none = in.take<uint8_t>() % 16 == 0;
    list.numEvents = in.take<VstInt32>();
    const size_t filled = in.take<uint8_t>() % (kMaxFilledEntries + 1);
    for (size_t i = 0; i < filled; ++i) {
        const auto shape = in.take<uint8_t>();
        if (shape % 8 == 0)
            continue;
        VstMidiEvent& event = events[i];
        event = VstMidiEvent{};
        event.type = (shape & 8) ? in.take<VstInt32>() : kVstMidiType;
        event.byteSize = (shape & 16) ? in.take<VstInt32>() : VstInt32(sizeof(VstMidiEvent));
        event.deltaFrames = in.take<int16_t>();
        for (int b = 0; b < 3; ++b)
            event.midiData[b] = char(in.take<uint8_t>());
        list.events[i] = reinterpret_cast<VstEvent*>(&event);
    }
    effect.dispatcher(&effect, effProcessEvents, 0, 0, none ? nullptr : &list, 0.0f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AEffect* effect = entry()(host);
    if (!effect)
        std::abort();
    Bytes in(data, size);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    for (int step = 0; step < 256 && !in.empty(); ++step) {
        switch (in.take<uint8_t>() % 5) {
        case 0:
            dispatch(*effect, in);
            break;
        case 1: {
            const auto index = in.take<VstInt32>();
            effect->setParameter(effect, index, in.take<float>());
            break;
        }
        case 2:
            effect->getParameter(effect, in.take<VstInt32>());
            break;
        case 3:
            process(*effect, in);
            break;
        default:
            // Hosts send a block's events just before the block.
            sendEvents(*effect, in);
            process(*effect, in);
            break;
        }
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
