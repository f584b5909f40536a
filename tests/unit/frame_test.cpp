// The frame classes on their own: record set-up, flag setters, the dispatcher
// levels, the no-host answers of the host wrappers and the text formatters.
#include "aeffeditor.h"
#include "audioeffectx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace {

class BareEffect : public AudioEffectX {
public:
    explicit BareEffect(audioMasterCallback host = nullptr) : AudioEffectX(host, 2, 3) {}
    void processReplacing(float**, float**, VstInt32) override {}

    using AudioEffect::setFlag;
};

std::string formatted(void (AudioEffect::*format)(float, char*, VstInt32), float value,
                      VstInt32 maxLength = 8, float sampleRate = 44100.0f)
{
    BareEffect effect;
    effect.setSampleRate(sampleRate);
    char text[32];
    std::memset(text, '#', sizeof(text));
    (effect.*format)(value, text, maxLength);
    return text;
}

std::string intText(VstInt32 value, VstInt32 maxLength = 8)
{
    BareEffect effect;
    char text[32];
    std::memset(text, '#', sizeof(text));
    effect.int2string(value, text, maxLength);
    return text;
}

TEST(FrameRecord, BaseConstructionFillsTheRecord)
{
    BareEffect effect;
    const AEffect& e = *effect.getAeffect();
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 2);
    EXPECT_EQ(e.numParams, 3);
    EXPECT_EQ(e.numInputs, 1);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, effFlagsCanReplacing);
    EXPECT_EQ(e.uniqueID, 0x4E6F4566);
    EXPECT_EQ(e.version, 1);
    EXPECT_FLOAT_EQ(e.ioRatio, 1.0f);
    EXPECT_EQ(e.object, &effect);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_NE(e.processReplacing, nullptr);
    EXPECT_NE(e.processDoubleReplacing, nullptr);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(FrameRecord, EachFlagSetterClearsOnlyItsOwnBit)
{
    BareEffect effect;
    using Setter = void (*)(BareEffect&, bool);
    const std::pair<Setter, VstInt32> setters[] = {
        {[](BareEffect& e, bool s) { e.__hasClipDeprecated(s); }, 0x2},
        {[](BareEffect& e, bool s) { e.__hasVuDeprecated(s); }, 0x4},
        {[](BareEffect& e, bool s) { e.__canMonoDeprecated(s); }, 0x8},
        {[](BareEffect& e, bool s) { e.canProcessReplacing(s); }, 0x10},
        {[](BareEffect& e, bool s) { e.programsAreChunks(s); }, 0x20},
        {[](BareEffect& e, bool s) { e.isSynth(s); }, 0x100},
        {[](BareEffect& e, bool s) { e.noTail(s); }, 0x200},
        {[](BareEffect& e, bool s) { e.__wantAsyncOperationDeprecated(s); }, 0x400},
        {[](BareEffect& e, bool s) { e.__hasExternalBufferDeprecated(s); }, 0x800},
        {[](BareEffect& e, bool s) { e.canDoubleReplacing(s); }, 0x1000},
    };
    for (const auto& [set, bit] : setters)
        set(effect, true);
    const VstInt32 all = effect.getAeffect()->flags;
    EXPECT_EQ(all, 0x1F3E);
    for (const auto& [set, bit] : setters) {
        set(effect, false);
        EXPECT_EQ(effect.getAeffect()->flags, all & ~bit) << "bit " << bit;
        set(effect, true);
    }
}

TEST(FrameRecord, SetEditorSetsAndClearsTheEditorBit)
{
    BareEffect effect;
    effect.noTail(true);
    auto* editor = new AEffEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(effect.getAeffect()->flags, 0x211);
    EXPECT_EQ(effect.getEditor(), editor);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.getAeffect()->flags, 0x210);
    delete editor;
}

TEST(FrameRecord, PlugCategoryFollowsTheSynthFlag)
{
    BareEffect effect;
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategUnknown);
    effect.isSynth(true);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategSynth);
}

TEST(FrameDispatcher, BasicLevelCloseOnlyCallsClose)
{
    BareEffect effect;
    EXPECT_EQ(effect.dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect.getAeffect()->magic, kEffectMagic); // still alive
}

TEST(FrameDispatcher, EditorOpcodesWithoutEditorAnswerZero)
{
    BareEffect effect;
    ERect* rect = reinterpret_cast<ERect*>(1);
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 1, nullptr, 0.0f), 0);
}

TEST(FrameDispatcher, DeprecatedAndUnknownOpcodesAnswerZero)
{
    BareEffect effect;
    for (VstInt32 opcode :
         {9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 1000, -1, -80})
        EXPECT_EQ(effect.dispatcher(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
    EXPECT_EQ(effect.dispatcher(effIdentify, 7, 7, nullptr, 7.0f), 0x4E764566);
    EXPECT_EQ(effect.dispatcher(effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(effect.dispatcher(effSetTotalSampleToProcess, 0, 777, nullptr, 0.0f), 777);
    EXPECT_EQ(effect.dispatcher(effGetCurrentMidiProgram, 0, 0, nullptr, 0.0f), -1);
}

TEST(FrameDispatcher, SetProgramOnlyBelowTheProgramCount)
{
    BareEffect effect;
    effect.dispatcher(effSetProgram, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(effect.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 1);
    effect.dispatcher(effSetProgram, 0, 2, nullptr, 0.0f);
    EXPECT_EQ(effect.getProgram(), 1);
}

TEST(FrameDispatcher, DeprecatedProcessLeavesOutputsAlone)
{
    BareEffect effect;
    float in[4] = {1, 2, 3, 4};
    float out[4] = {9, 9, 9, 9};
    float* ins[2] = {in, in};
    float* outs[2] = {out, out};
    effect.getAeffect()->process(effect.getAeffect(), ins, outs, 4);
    for (float v : out)
        EXPECT_EQ(v, 9.0f);
}

TEST(FrameHostWrappers, NoHostAnswers)
{
    BareEffect effect;
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.__isInputConnectedDeprecated(0));
    EXPECT_TRUE(effect.__isOutputConnectedDeprecated(0));
    EXPECT_EQ(effect.getTimeInfo(0xffff), nullptr);
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_FALSE(effect.sizeWindow(10, 10));
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
}

VstIntPtr gAnswer = 0;
VstInt32 gLastOpcode = -1;
VstIntPtr scriptedHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    gLastOpcode = opcode;
    return gAnswer;
}

TEST(FrameHostWrappers, AnswersAreInterpretedAsDescribed)
{
    BareEffect effect(scriptedHost);
    char text[] = "sizeWindow";
    gAnswer = -1;
    EXPECT_EQ(effect.canHostDo(text), 1);
    EXPECT_EQ(gLastOpcode, audioMasterCanDo);
    gAnswer = 0;
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    gAnswer = -5;
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    gAnswer = 256;
    EXPECT_EQ(effect.updateBlockSize(), 256);
    gAnswer = 48000;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    VstEvents events{};
    gAnswer = 2;
    EXPECT_FALSE(effect.sendVstEventsToHost(&events));
    gAnswer = 1;
    EXPECT_TRUE(effect.sendVstEventsToHost(&events));
}

TEST(FrameFormatters, Int2String)
{
    EXPECT_EQ(intText(0), "");
    EXPECT_EQ(intText(50), "50");
    EXPECT_EQ(intText(-5), "-5");
    EXPECT_EQ(intText(-7), "-7");
    EXPECT_EQ(intText(99999999), "99999999");
    EXPECT_EQ(intText(100000000), "Huge!");
    EXPECT_EQ(intText(-100000000), "Huge!");
    EXPECT_EQ(intText(INT32_MIN), "Huge!");
    EXPECT_EQ(intText(12345, 3), "123");
}

TEST(FrameFormatters, Float2StringFillsEightPositions)
{
    const auto f2s = &AudioEffect::float2string;
    EXPECT_EQ(formatted(f2s, 0.0f), "0.000000");
    EXPECT_EQ(formatted(f2s, 1.5f), "1.500000");
    EXPECT_EQ(formatted(f2s, 123.25f), "123.2500");
    EXPECT_EQ(formatted(f2s, -1.5f), "-1.50000");
    EXPECT_EQ(formatted(f2s, -0.5f), "-0.50000");
    EXPECT_EQ(formatted(f2s, 1234567.0f), "1234567.");
    EXPECT_EQ(formatted(f2s, 1.1f), "1.100000");
    EXPECT_EQ(formatted(f2s, 0.1f), "0.100000");
    EXPECT_EQ(formatted(f2s, 1.5f, 3), "1.5");
    EXPECT_EQ(formatted(f2s, 1.9999999f), "1.999999"); // cut off, never rounded up
}

TEST(FrameFormatters, Float2StringOutOfFieldIsHuge)
{
    const auto f2s = &AudioEffect::float2string;
    EXPECT_EQ(formatted(f2s, 100000000.0f), "Huge!");
    EXPECT_EQ(formatted(f2s, -10000000.0f), "Huge!");
    // Passing the range test but too wide for the integer field.
    EXPECT_EQ(formatted(f2s, 10000000.0f), "Huge!");
    EXPECT_EQ(formatted(f2s, 99999999.0f), "Huge!");
    EXPECT_EQ(formatted(f2s, -1000000.0f), "Huge!");
    EXPECT_EQ(formatted(f2s, 9999999.0f), "9999999.");
    EXPECT_EQ(formatted(f2s, -999999.0f), "-999999.");
    EXPECT_EQ(formatted(f2s, std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(formatted(f2s, std::numeric_limits<float>::quiet_NaN()), "Huge!");
}

TEST(FrameFormatters, DecibelsHertzMilliseconds)
{
    EXPECT_EQ(formatted(&AudioEffect::dB2string, 1.0f), "0.000000");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, 0.0f), "-oo");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, -1.0f), "-oo");
    EXPECT_EQ(formatted(&AudioEffect::dB2string, 0.5f), "-6.02059");
    EXPECT_EQ(formatted(&AudioEffect::Hz2string, 0.0f, 8, 48000.0f), "0.000000");
    EXPECT_EQ(formatted(&AudioEffect::Hz2string, 441.0f), "100.0000");
    EXPECT_EQ(formatted(&AudioEffect::ms2string, 44100.0f), "1000.000");
}

TEST(FrameFormatters, TextIsCutAndTerminated)
{
    BareEffect effect;
    char text[8];
    std::memset(text, '#', sizeof(text));
    effect.float2string(123.25f, text, 4);
    EXPECT_STREQ(text, "123.");
    EXPECT_EQ(text[5], '#');
    effect.int2string(7, text, -1); // nothing to write into
    EXPECT_STREQ(text, "123.");
}

} // namespace
