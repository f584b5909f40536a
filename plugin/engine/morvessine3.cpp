// Construction, parameters, the program and the answers the host asks for.
#include "morvessine3.h"

#include "loopmath.h"
#include "morvessine3editor.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <sys/mman.h>

using namespace parameters;

AudioEffect* createEffectInstance(audioMasterCallback audioMaster)
{
    return new Morvessine3(audioMaster);
}

namespace {
std::atomic<int32_t> instanceCounter{0};

constexpr const char* kLogPrefix = "PravoLindel3VST > ";

constexpr const char* kParameterNames[kNumParameters] = {
    "Loop1",  "Loop2",  "Loop3",  "Loop4",  "Value1",  "Value2",  "Value3",  "Value4",
    "pitch1", "pitch2", "pitch3", "pitch4", "rev1",    "rev2",    "rev3",    "rev4",
    "FX1",    "FX2",    "FX3",    "FX4",    "FX1 sel", "FX2 sel", "FX3 sel", "FX4 sel",
};

constexpr const char* kValueTexts[] = {
    "1 bar",    "2 beat",   "1 beat",   "3/4 beat",  "1/2 beat",
    "3/8 beat", "1/4 beat", "1/8 beat", "1/16 beat", "1/32 beat",
};

// Hosts pass buffers of varying size for parameter texts; every text written
// here is at most this long, which the longest one ("1/32 beat") fits.
constexpr size_t kMaxDisplayLength = 15;
constexpr size_t kMaxNameLength = kVstMaxParamStrLen;

constexpr float kDefaultValues[kNumLoops] = {0.0f, 0.22222222f, 0.33333334f, 0.6666667f};

// An effect number that selects no effect (an FX sel at or below -1/4) has the empty text.
const char* effectName(int32_t effect)
{
    return effect >= 0 && effect < kNumEffects ? kEffectNames[effect] : "";
}

void fillDefaultProgram(Program& program)
{
    for (int loop = 0; loop < kNumLoops; ++loop) {
        Relaxed<float>* values = program.values + loop * kNumKinds;
        values[kLoop] = 0.0f;
        values[kValue] = kDefaultValues[loop];
        values[kPitch] = 0.5f;
        values[kRev] = 0.0f;
        values[kFx] = 0.0f;
        values[kFxSel] = float(loop) * 0.25f;
    }
    copyText(program.name, "Default", kVstMaxProgNameLen);
}
} // namespace

Morvessine3::Morvessine3(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kNumParameters)
{
    fillDefaultProgram(programs[0]);
    phaserSetDefaults(phaser);
    sharedBlockLease = leaseSharedBlock(instanceCounter);
    instanceNumber = sharedBlockLease.instanceNumber;
    sharedBlock = sharedBlockLease.block;

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(fourCharCode('l', 'o', 'o', 'p'));
    canProcessReplacing(true);

    for (int k = 0; k < kNumLoops; ++k) {
        loops[k].value = programs[0].values[k * kNumKinds + kValue];
        setSyncValue(k, loops[k].value);
        loops[k].fxId = k;
        loops[k].fxSelect = float(k) * 0.25f;
    }
    IIR_resetIIR(hipassState);
    // An editor opened before the host has set anything shows the engine's own values.
    if (sharedBlock)
        for (VstInt32 index = 0; index < kNumParameters; ++index)
            publishParameter(index, programs[0].values[Program::slotOf(index)]);
    editor = new Morvessine3Editor(this, instanceNumber);
}

// No poll tick may reach the effect once its teardown has begun. The block is
// unmapped too: a host scanning plug-ins creates and closes hundreds of them.
Morvessine3::~Morvessine3()
{
    editor->stopPolling();
    releaseBuffers();
    sharedBlock = nullptr;
    releaseSharedBlock(sharedBlockLease);
}

// --- Buffers ----------------------------------------------------------------

// One anonymous mapping for all four channels: the kernel hands out zero pages
// only as the ring is written, so resume costs almost no resident memory.
void Morvessine3::allocateBuffers()
{
    if (buffers.load(std::memory_order_acquire)) return;
    const size_t channelBytes = size_t(kBufferFrames) * sizeof(float);
    void* memory = mmap(nullptr, 4 * channelBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    auto* published = memory == MAP_FAILED ? nullptr : new (std::nothrow) LoopBuffers;
    if (!published) {
        if (memory != MAP_FAILED) munmap(memory, 4 * channelBytes);
        if (!reportedNoBuffers)
            std::printf("%scannot allocate the loop buffers; passing the input through\n",
                        kLogPrefix);
        std::fflush(stdout);
        reportedNoBuffers = true;
        return;
    }
    auto* base = static_cast<float*>(memory);
    *published = {base, base + kBufferFrames, base + 2 * kBufferFrames, base + 3 * kBufferFrames};
    // The first capture copies up to a bar into the loop buffer in one block; its
    // start is faulted in now so that block does not pay for fresh pages.
    std::memset(published->loopLeft, 0, kPrefaultFrames * sizeof(float));
    std::memset(published->loopRight, 0, kPrefaultFrames * sizeof(float));
    buffers.store(published, std::memory_order_release);
    startRingKeeper(*published);
}

// Without a keeper (no thread or memory to be had) the audio thread faults the ring's
// pages in as it writes them, which is slower but no less correct.
void Morvessine3::startRingKeeper(const LoopBuffers& published)
{
    try {
        ringKeeper = std::make_unique<RingKeeper>(
            published.captureLeft, published.captureRight, captureSize, ringFront,
            KeptLoopBuffer{published.loopLeft, published.loopRight, int32_t(kPrefaultFrames),
                           &armedBeatFrames});
    } catch (const std::exception&) {
    }
}

// Any thread, real-time: a loop is armed or playing at this beat length. Two
// threads may raise it at once; the longer beat stays.
void Morvessine3::armLoopKeeper(double beat)
{
    const auto frames = int32_t(std::min(beat, double(kBufferFrames)));
    for (int32_t armed = armedBeatFrames; frames > armed; armed = armedBeatFrames)
        if (armedBeatFrames.compareExchange(armed, frames)) return;
}

void Morvessine3::releaseBuffers()
{
    LoopBuffers* owned = buffers.exchange(nullptr, std::memory_order_acq_rel);
    if (!owned) return;
    ringKeeper.reset();
    munmap(owned->captureLeft, 4 * size_t(kBufferFrames) * sizeof(float));
    delete owned;
}

void Morvessine3::resume()
{
    allocateBuffers();
}

void Morvessine3::setSampleRate(float newSampleRate)
{
    AudioEffect::setSampleRate(newSampleRate);
}

void Morvessine3::setBlockSize(VstInt32 newBlockSize)
{
    AudioEffect::setBlockSize(newBlockSize);
}

// --- Parameters -------------------------------------------------------------

static_assert(ParameterHandoff::kParameters == kNumParameters, "the editor's echo has a slot each");

void Morvessine3::setParameter(VstInt32 index, float value)
{
    // A value that is no number at all would poison every derived field.
    if (!std::isfinite(value)) return;
    if (isValidIndex(index)) {
        const std::unique_lock<std::mutex> turn = takeTurn();
        applyParameter(index, value);
    }
    editor->setParameter(index, value);
}

// Any thread. The threads other than the audio thread change the loops one at
// a time; the audio thread, the one that rendered the last block, goes ahead.
std::unique_lock<std::mutex> Morvessine3::takeTurn()
{
    const bool audio =
        pthread_equal(pthread_self(), audioThread.load(std::memory_order_relaxed)) != 0;
    return audio ? std::unique_lock<std::mutex>(parameterMutex, std::defer_lock)
                 : std::unique_lock<std::mutex>(parameterMutex);
}

// The handler runs first, then the program keeps the value, then the shared
// block gets the value and its text, before the editor hears of the change.
void Morvessine3::applyParameter(VstInt32 index, float value)
{
    const int loop = loopOf(index);
    switch (kindOf(index)) {
    case kLoop:
        handleLoop(loop, value);
        break;
    case kValue:
        handleValue(loop, value);
        break;
    case kPitch:
        handlePitch(loop, value);
        break;
    case kRev:
        handleReverse(loop, value);
        break;
    case kFx:
        handleFx(loop, value);
        break;
    case kFxSel:
        handleFxId(loop, value);
        break;
    }
    programs[0].values[Program::slotOf(index)] = value;
    if (sharedBlock) publishParameter(index, value);
}

// The text is made here and handed over whole; a parameter whose display
// writes nothing (a Value outside the steps) keeps its old text.
void Morvessine3::publishParameter(VstInt32 index, float value)
{
    constexpr char kUntouched = '\x7f';
    char text[sharedTextSize] = {kUntouched};
    getParameterDisplay(index, text);
    writeSharedParameter(sharedBlock, index, value, text[0] == kUntouched ? nullptr : text);
}

float Morvessine3::getParameter(VstInt32 index)
{
    if (!isValidIndex(index)) return 0.0f;
    const Loop& loop = loops[loopOf(index)];
    switch (kindOf(index)) {
    case kLoop:
        return loop.on ? 1.0f : 0.0f;
    case kValue:
        return loop.value;
    case kPitch:
        return loop.pitch;
    case kRev:
        return loop.reverse ? 1.0f : 0.0f;
    case kFx:
        return loop.fxOn ? 1.0f : 0.0f;
    case kFxSel:
        return loop.fxSelect;
    }
    return 0.0f;
}

void Morvessine3::handleValueDisplay(float value, char* text)
{
    const std::optional<int> step = loopmath::lengthStepOf(value);
    if (step) copyText(text, kValueTexts[*step], kMaxDisplayLength);
}

void Morvessine3::getParameterDisplay(VstInt32 index, char* text)
{
    if (!text || !isValidIndex(index)) return;
    const Loop& loop = loops[loopOf(index)];
    switch (kindOf(index)) {
    case kLoop:
        copyText(text, loop.on ? "ON" : "OFF", kMaxDisplayLength);
        break;
    case kValue:
        handleValueDisplay(loop.value, text);
        break;
    case kPitch:
        int2string(loopmath::speedPercent(loop.speed), text, 8);
        break;
    case kRev:
        copyText(text, loop.reverse ? "Reverse" : "Normal", kMaxDisplayLength);
        break;
    case kFx:
        copyText(text, loop.fxOn ? "On" : "Off", kMaxDisplayLength);
        break;
    case kFxSel:
        copyText(text, effectName(loop.fxId), kMaxDisplayLength);
        break;
    }
}

void Morvessine3::getParameterName(VstInt32 index, char* text)
{
    copyText(text, isValidIndex(index) ? kParameterNames[index] : "", kMaxNameLength);
}

void Morvessine3::getParameterLabel(VstInt32, char* label)
{
    copyText(label, "", 0);
}

bool Morvessine3::canParameterBeAutomated(VstInt32)
{
    return true;
}

// --- Program ----------------------------------------------------------------

void Morvessine3::setProgram(VstInt32 program)
{
    if (program != 0) return;
    const std::unique_lock<std::mutex> turn = takeTurn();
    curProgram = 0;
    const Program& stored = programs[0];
    for (int k = 0; k < kNumLoops; ++k) {
        const Relaxed<float>* values = stored.values + k * kNumKinds;
        loops[k].on = isOn(values[kLoop]);
        loops[k].reverse = isOn(values[kRev]);
        loops[k].fxOn = isOn(values[kFx]);
        loops[k].value = values[kValue];
        loops[k].pitch = values[kPitch];
        loops[k].fxSelect = values[kFxSel];
    }
}

void Morvessine3::setProgramName(char* name)
{
    if (name) copyText(programs[curProgram].name, name, kVstMaxProgNameLen);
}

void Morvessine3::getProgramName(char* name)
{
    copyText(name, programs[curProgram].name, kVstMaxProgNameLen);
}

bool Morvessine3::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (index != 0 || !text) return false;
    copyText(text, programs[0].name, kVstMaxProgNameLen);
    return true;
}

bool Morvessine3::copyProgram(VstInt32)
{
    return false;
}

// --- Host-facing answers ----------------------------------------------------

bool Morvessine3::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
    if (index < 0 || index > 1 || !properties) return false;
    std::snprintf(properties->label, sizeof(properties->label), "loop out %1d", int(index) + 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

// Decoded now, played by the coming block at the notes' own frames.
VstInt32 Morvessine3::processEvents(VstEvents* events)
{
    pendingNotes.add(events);
    return 1;
}

bool Morvessine3::getEffectName(char* name)
{
    copyText(name, "PravoLindel3", kVstMaxEffectNameLen);
    return true;
}

bool Morvessine3::getVendorString(char* text)
{
    copyText(text, "Quillatone", kVstMaxVendorStrLen);
    return true;
}

bool Morvessine3::getProductString(char* text)
{
    copyText(text, "PravoLindel3 VST", kVstMaxProductStrLen);
    return true;
}

VstInt32 Morvessine3::canDo(char* text)
{
    if (!text) return -1;
    if (std::strcmp(text, PlugCanDos::canDoReceiveVstEvents) == 0 ||
        std::strcmp(text, PlugCanDos::canDoReceiveVstMidiEvent) == 0)
        return 1;
    return -1;
}

VstIntPtr Morvessine3::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (index != editorscale::kHostScaleRequest)
        return AudioEffectX::vendorSpecific(index, value, ptr, opt);
    editor->setHostScale(opt);
    return 1;
}

void Morvessine3::process(float** inputs, float** outputs, VstInt32 frames)
{
    processReplacing(inputs, outputs, frames);
}
