#include "loadedplugin.h"

#include "hosterror.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>

namespace hostcore {

namespace {

using EntryFunction = AEffect* (*)(audioMasterCallback);

std::string dlerrorText()
{
    const char* text = dlerror();
    return text ? text : "unknown dynamic loader error";
}

} // namespace

const std::vector<std::string> LoadedPlugin::kScanCanDos = {
    "receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
    "sendVstMidiEvent", "receiveVstTimeInfo",  "bypass",
};

LoadedPlugin::Library::~Library()
{
    if (handle) dlclose(handle);
}

LoadedPlugin::LoadedPlugin(const std::string& path, Host& host) : path_(path), host_(host)
{
    library_.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_.handle)
        throw HostError(HostFailure::OpenFailed, "cannot load " + path + ": " + dlerrorText());
    resolveEntry();
}

LoadedPlugin::~LoadedPlugin()
{
    // Called directly: a destructor must not throw, and dispatch() can.
    if (effect_ && effect_->dispatcher) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

void LoadedPlugin::resolveEntry()
{
    void* symbol = nullptr;
    for (const char* name : {kEntryPoint, kLegacyEntryPoint}) {
        symbol = dlsym(library_.handle, name);
        if (symbol) {
            entrySymbol_ = name;
            break;
        }
    }
    if (!symbol)
        throw HostError(HostFailure::NoEntryPoint,
                        path_ + " exports neither " + kEntryPoint + " nor " + kLegacyEntryPoint);

    AEffect* effect = nullptr;
    {
        Host::LoadingGuard guard(host_);
        effect = reinterpret_cast<EntryFunction>(symbol)(&Host::callback);
    }
    if (!effect)
        throw HostError(HostFailure::NullEffect, path_ + ": " + entrySymbol_ + " returned null");
    // Nothing is closed here: a record without the magic cannot be trusted to
    // hold a dispatcher.
    if (effect->magic != kEffectMagic)
        throw HostError(HostFailure::BadMagic,
                        path_ + ": " + entrySymbol_ + " returned a record without the magic");
    host_.attach(*effect);
    effect_ = effect;
}

AEffect& LoadedPlugin::effect() const
{
    if (!effect_) throw HostError(HostFailure::Closed, path_ + " was used after effClose");
    return *effect_;
}

template <typename Entry> Entry LoadedPlugin::require(Entry entry, const char* name) const
{
    if (!entry) throw HostError(HostFailure::MissingEntry, path_ + " has no " + name + " entry");
    return entry;
}

VstIntPtr LoadedPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt)
{
    AEffect& record = effect();
    return require(record.dispatcher, "dispatcher")(&record, opcode, index, value, ptr, opt);
}

VstIntPtr LoadedPlugin::open()
{
    return dispatch(effOpen);
}

VstIntPtr LoadedPlugin::close()
{
    const VstIntPtr result = dispatch(effClose);
    effect_ = nullptr;
    return result;
}

VstIntPtr LoadedPlugin::setSampleRate(float sampleRate)
{
    return dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
}

VstIntPtr LoadedPlugin::setBlockSize(VstInt32 blockSize)
{
    return dispatch(effSetBlockSize, 0, blockSize);
}

VstIntPtr LoadedPlugin::mainsChanged(bool on)
{
    return dispatch(effMainsChanged, 0, on ? 1 : 0);
}

VstIntPtr LoadedPlugin::setBypass(bool bypass)
{
    return dispatch(effSetBypass, 0, bypass ? 1 : 0);
}

VstIntPtr LoadedPlugin::startProcess()
{
    return dispatch(effStartProcess);
}

VstIntPtr LoadedPlugin::stopProcess()
{
    return dispatch(effStopProcess);
}

ScanReport LoadedPlugin::scan(const std::vector<std::string>& canDoQueries)
{
    ScanReport report;
    open();
    report.vstVersion = vstVersion();
    report.effectName = effectName().text;
    report.vendor = vendorString().text;
    report.category = plugCategory();
    for (const std::string& query : canDoQueries)
        report.canDo[query] = canDo(query);
    mainsChanged(false);
    close();
    return report;
}

void LoadedPlugin::startSession(double sampleRate, VstInt32 blockSize)
{
    host_.setSampleRate(sampleRate);
    host_.setBlockSize(blockSize);
    open();
    setSampleRate(static_cast<float>(sampleRate));
    setBlockSize(blockSize);
    setBypass(false);
    mainsChanged(true);
}

void LoadedPlugin::setParameter(VstInt32 index, float value)
{
    AEffect& record = effect();
    require(record.setParameter, "setParameter")(&record, index, value);
}

float LoadedPlugin::getParameter(VstInt32 index)
{
    AEffect& record = effect();
    return require(record.getParameter, "getParameter")(&record, index);
}

TextReply LoadedPlugin::textRequest(VstInt32 opcode, VstInt32 index)
{
    char buffer[TextReply::kBufferSize];
    std::memset(buffer, TextReply::kFill, sizeof buffer);
    TextReply reply;
    reply.result = dispatch(opcode, index, 0, buffer);
    const std::size_t length = strnlen(buffer, sizeof buffer);
    reply.terminated = length < sizeof buffer;
    reply.text.assign(buffer, length);
    for (std::size_t i = sizeof buffer; i > 0; --i)
        if (buffer[i - 1] != TextReply::kFill) {
            reply.touched = i;
            break;
        }
    return reply;
}

TextReply LoadedPlugin::parameterName(VstInt32 index)
{
    return textRequest(effGetParamName, index);
}

TextReply LoadedPlugin::parameterLabel(VstInt32 index)
{
    return textRequest(effGetParamLabel, index);
}

TextReply LoadedPlugin::parameterDisplay(VstInt32 index)
{
    return textRequest(effGetParamDisplay, index);
}

TextReply LoadedPlugin::programName()
{
    return textRequest(effGetProgramName);
}

VstIntPtr LoadedPlugin::setProgram(VstIntPtr program)
{
    return dispatch(effSetProgram, 0, program);
}

VstIntPtr LoadedPlugin::getProgram()
{
    return dispatch(effGetProgram);
}

TextReply LoadedPlugin::effectName()
{
    return textRequest(effGetEffectName);
}

TextReply LoadedPlugin::vendorString()
{
    return textRequest(effGetVendorString);
}

TextReply LoadedPlugin::productString()
{
    return textRequest(effGetProductString);
}

VstIntPtr LoadedPlugin::vendorVersion()
{
    return dispatch(effGetVendorVersion);
}

VstIntPtr LoadedPlugin::vstVersion()
{
    return dispatch(effGetVstVersion);
}

VstIntPtr LoadedPlugin::canDo(const std::string& text)
{
    return dispatch(effCanDo, 0, 0, const_cast<char*>(text.c_str()));
}

VstIntPtr LoadedPlugin::plugCategory()
{
    return dispatch(effGetPlugCategory);
}

PinReply LoadedPlugin::pinRequest(VstInt32 opcode, VstInt32 pin)
{
    PinReply reply;
    reply.result = dispatch(opcode, pin, 0, &reply.properties);
    return reply;
}

PinReply LoadedPlugin::inputProperties(VstInt32 pin)
{
    return pinRequest(effGetInputProperties, pin);
}

PinReply LoadedPlugin::outputProperties(VstInt32 pin)
{
    return pinRequest(effGetOutputProperties, pin);
}

RectReply LoadedPlugin::editorRect()
{
    ERect* rect = nullptr;
    RectReply reply;
    reply.result = dispatch(effEditGetRect, 0, 0, &rect);
    if (rect) reply.rect = *rect;
    return reply;
}

VstIntPtr LoadedPlugin::editorOpen(unsigned long window)
{
    return dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
}

VstIntPtr LoadedPlugin::editorClose()
{
    return dispatch(effEditClose);
}

VstIntPtr LoadedPlugin::sendScaleFactor(float factor)
{
    return dispatch(effVendorSpecific, fourCharCode('P', 'r', 'e', 'S'), 0, nullptr, factor);
}

VstIntPtr LoadedPlugin::editorIdle()
{
    return dispatch(effEditIdle);
}

namespace {
// A VstEvents record with room for a whole list of pointers.
struct EventList {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[LoadedPlugin::kEventsPerList];
};
static_assert(offsetof(EventList, numEvents) == offsetof(VstEvents, numEvents));
static_assert(offsetof(EventList, events) == offsetof(VstEvents, events));

VstMidiEvent midiEventOf(const MidiMessage& message)
{
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = message.deltaFrames;
    event.midiData[0] = char(message.status);
    event.midiData[1] = char(message.data1);
    event.midiData[2] = char(message.data2);
    return event;
}
} // namespace

VstIntPtr LoadedPlugin::sendEvents(std::span<const MidiMessage> messages)
{
    VstIntPtr answer = 0;
    while (!messages.empty()) {
        const std::size_t count = std::min(messages.size(), kEventsPerList);
        VstMidiEvent events[kEventsPerList];
        EventList list{VstInt32(count), 0, {}};
        for (std::size_t i = 0; i < count; ++i) {
            events[i] = midiEventOf(messages[i]);
            list.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
        }
        answer = dispatch(effProcessEvents, 0, 0, &list);
        messages = messages.subspan(count);
    }
    return answer;
}

void LoadedPlugin::process(float** inputs, float** outputs, VstInt32 frames)
{
    AEffect& record = effect();
    const auto entry = require(record.processReplacing, "processReplacing");
    // The transport only moves for a block the plug-in will really get.
    host_.transport().nextBlock(frames);
    entry(&record, inputs, outputs, frames);
}

void LoadedPlugin::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    AEffect& record = effect();
    require(record.processReplacing, "processReplacing")(&record, inputs, outputs, frames);
}

void LoadedPlugin::processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames)
{
    AEffect& record = effect();
    require(record.processDoubleReplacing, "processDoubleReplacing")(&record, inputs, outputs,
                                                                     frames);
}

void LoadedPlugin::processAccumulating(float** inputs, float** outputs, VstInt32 frames)
{
    AEffect& record = effect();
    require(record.process, "process")(&record, inputs, outputs, frames);
}

} // namespace hostcore
