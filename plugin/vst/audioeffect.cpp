#include "audioeffect.h"

#include "aeffeditor.h"

#include <cmath>
#include <cstdint>
#include <cstring>

void copyText(char* destination, const char* source, size_t maxLength)
{
    if (!destination) return;
    size_t length = 0;
    if (source)
        while (length < maxLength && source[length] != '\0')
            ++length;
    std::memcpy(destination, source ? source : "", length);
    destination[length] = '\0';
}

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = __processClassDeprecated;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    canProcessReplacing(true);
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt, VstIntPtr noHost)
{
    if (!audioMaster) return noHost;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

// --- Static entries ---------------------------------------------------------

namespace {
AudioEffect* effectOf(AEffect* e)
{
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}
} // namespace

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt)
{
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = effectOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = effectOf(e)) effect->setParameter(index, value);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e)) effect->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::__processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                           VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->__processDeprecated(inputs, outputs, sampleFrames);
}

// --- Basic opcodes ----------------------------------------------------------

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms) setProgram(VstInt32(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(VstInt32(value));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, VstInt32(value), index != 0);
    default:
        return 0;
    }
}

// --- Defaults ---------------------------------------------------------------

void AudioEffect::getProgramName(char* name)
{
    copyText(name, "", 0);
}

void AudioEffect::getParameterLabel(VstInt32, char* label)
{
    copyText(label, "", 0);
}

void AudioEffect::getParameterDisplay(VstInt32, char* text)
{
    copyText(text, "", 0);
}

void AudioEffect::getParameterName(VstInt32, char* text)
{
    copyText(text, "", 0);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

// --- Host callback wrappers -------------------------------------------------

VstInt32 AudioEffect::getMasterVersion()
{
    const VstInt32 version = VstInt32(callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1));
    return version == 0 ? 1 : version;
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
    return VstInt32(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

bool AudioEffect::__isInputConnectedDeprecated(VstInt32 input)
{
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::__isOutputConnectedDeprecated(VstInt32 output)
{
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// --- Value-to-text helpers --------------------------------------------------

namespace {
constexpr const char* kHuge = "Huge!";

// A formatted text before it is cut to the caller's length. Formatting can run on
// the audio thread (automation calls setParameter there), so nothing allocates.
struct Assembled {
    char text[16] = {};
    size_t length = 0;

    void append(char c)
    {
        if (length + 1 < sizeof(text)) text[length++] = c;
    }
    void append(const char* s)
    {
        while (*s)
            append(*s++);
    }
};

void writeBounded(char* text, const char* assembled, VstInt32 maxLength)
{
    if (maxLength < 0) return;
    copyText(text, assembled, size_t(maxLength));
}

// Fixed point with the sign, digits and point filling eight positions; digits are
// cut off, never rounded. A value whose integer part does not fit the field (seven
// digits, six when negative) is "Huge!" rather than a number missing its head.
Assembled formatFloat(float value)
{
    Assembled out;
    double v = value;
    const bool negative = v < 0.0;
    if (negative) v = -v;
    if (!std::isfinite(v) || v >= (negative ? 1.0e6 : 1.0e7)) {
        out.append(kHuge);
        return out;
    }
    if (negative) out.append('-');

    // Integer digits right to left, then in reading order behind the sign.
    char digits[8];
    int digitCount = 0;
    int position = negative ? 2 : 1; // the sign and the point
    auto quotient = static_cast<int64_t>(std::floor(v));
    do {
        digits[digitCount++] = char('0' + quotient % 10);
        quotient /= 10;
        ++position;
    } while (quotient >= 1 && position < 8);
    while (digitCount > 0)
        out.append(digits[--digitCount]);
    out.append('.');
    if (position >= 8) return out;

    const int fractionDigits = 8 - position;
    double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
    char fraction[8];
    for (int i = fractionDigits - 1; i >= 0; --i) {
        fraction[i] = m > 0.0 ? char('0' + int(std::fmod(m, 10.0))) : '0';
        m /= 10.0;
    }
    for (int i = 0; i < fractionDigits; ++i)
        out.append(fraction[i]);
    return out;
}

// Leading zeros are never written, so 0 gives the empty text. A magnitude beyond
// eight digits, either sign, is "Huge!".
Assembled formatInt(VstInt32 value)
{
    Assembled out;
    int64_t magnitude = value;
    if (magnitude < 0) magnitude = -magnitude;
    if (magnitude > 99999999) {
        out.append(kHuge);
        return out;
    }
    if (value < 0) out.append('-');
    bool started = false;
    for (int64_t divisor = 100000000; divisor >= 1; divisor /= 10) {
        const int64_t digit = magnitude / divisor;
        magnitude %= divisor;
        started = started || digit != 0;
        if (started) out.append(char('0' + digit));
    }
    return out;
}
} // namespace

void AudioEffect::float2string(float value, char* text, VstInt32 maxLength)
{
    writeBounded(text, formatFloat(value).text, maxLength);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLength)
{
    writeBounded(text, formatInt(value).text, maxLength);
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLength)
{
    if (value <= 0.0f)
        writeBounded(text, "-oo", maxLength);
    else
        float2string(float(20.0 * std::log10(double(value))), text, maxLength);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLength)
{
    float2string(samples == 0.0f ? 0.0f : getSampleRate() / samples, text, maxLength);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLength)
{
    float2string(float(double(samples) * 1000.0 / double(getSampleRate())), text, maxLength);
}
