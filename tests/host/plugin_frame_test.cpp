// PravoLindel3.so as a host meets it: the entry, the record, the dispatcher and
// the answers to a scan, all through the record's function pointers.
#include "heldinstances.h"
#include "hosterror.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using hostcore::Host;
using hostcore::HostError;
using hostcore::HostFailure;
using hostcore::LoadedPlugin;

namespace {

// An engine holds its block open and mapped for its life; one built and dropped by the entry
// would hold it for good.
bool holdsASharedBlock()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/dev/shm" + std::string(sharedBlockNamePrefix)) != std::string::npos)
            return true;
    return !heldInstances().empty();
}

TEST(PluginEntry, VersionZeroHostGetsNullAndNoObject)
{
    Host host;
    host.setVersion(0);
    try {
        LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
        FAIL() << "a version-0 host must get no effect";
    } catch (const HostError& error) {
        EXPECT_EQ(error.failure(), HostFailure::NullEffect);
    }
    EXPECT_EQ(host.nullRecordCallCount(audioMasterVersion), 1u);
    EXPECT_FALSE(holdsASharedBlock()) << "an engine was built for a version-0 host";
}

class PluginFrame : public ::testing::Test {
protected:
    Host host;
    LoadedPlugin plugin{PL3_PLUGIN_PATH, host};
};

TEST_F(PluginFrame, RecordAfterConstruction)
{
    const AEffect& e = plugin.effect();
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 1);
    EXPECT_EQ(e.numParams, 24);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, effFlagsHasEditor | effFlagsCanReplacing);
    EXPECT_EQ(e.uniqueID, 0x6C6F6F70);
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.realQualities, 0);
    EXPECT_EQ(e.offQualities, 0);
    EXPECT_FLOAT_EQ(e.ioRatio, 1.0f);
    EXPECT_NE(e.object, nullptr);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_NE(e.dispatcher, nullptr);
    EXPECT_NE(e.process, nullptr);
    EXPECT_NE(e.setParameter, nullptr);
    EXPECT_NE(e.getParameter, nullptr);
    EXPECT_NE(e.processReplacing, nullptr);
    EXPECT_NE(e.processDoubleReplacing, nullptr);
    EXPECT_EQ(e.flags & effFlagsCanDoubleReplacing, 0);
    EXPECT_EQ(e.flags & effFlagsIsSynth, 0);
}

TEST_F(PluginFrame, IdentifyAnswersNvEfWhateverTheArguments)
{
    EXPECT_EQ(plugin.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plugin.dispatch(effIdentify, 99, -5, &host, 3.5f), 0x4E764566);
}

TEST_F(PluginFrame, UnknownAndDeprecatedOpcodesAnswerZero)
{
    for (VstInt32 opcode : {80, 81, 4096, -1, -2, -1000000, 9,  16, 17, 18, 20, 21,
                            28, 30, 31,   32, 36, 37,       43, 46, 53, 54, 55, 57})
        EXPECT_EQ(plugin.dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << "opcode " << opcode;
}

TEST_F(PluginFrame, AnswersToAScan)
{
    EXPECT_EQ(plugin.vstVersion(), 2400);
    EXPECT_EQ(plugin.effectName().text, "PravoLindel3");
    EXPECT_EQ(plugin.effectName().result, 1);
    EXPECT_EQ(plugin.vendorString().text, "Quillatone");
    EXPECT_EQ(plugin.productString().text, "PravoLindel3 VST");
    EXPECT_EQ(plugin.vendorVersion(), 1);
    EXPECT_EQ(plugin.plugCategory(), 0);
    EXPECT_EQ(plugin.dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin.dispatch(effProcessEvents), 1);
}

TEST_F(PluginFrame, CanDo)
{
    EXPECT_EQ(plugin.canDo("receiveVstEvents"), 1);
    EXPECT_EQ(plugin.canDo("receiveVstMidiEvent"), 1);
    for (const char* other :
         {"receiveVstTimeInfo", "bypass", "sendVstEvents", "", "RECEIVEVSTEVENTS"})
        EXPECT_EQ(plugin.canDo(other), -1) << other;
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, nullptr), -1);
}

TEST_F(PluginFrame, OutputPins)
{
    for (VstInt32 pin : {0, 1}) {
        const auto reply = plugin.outputProperties(pin);
        EXPECT_EQ(reply.result, 1);
        EXPECT_STREQ(reply.properties.label, ("loop out " + std::to_string(pin + 1)).c_str());
        EXPECT_EQ(reply.properties.flags, kVstPinIsActive | kVstPinIsStereo);
    }
    EXPECT_EQ(plugin.outputProperties(2).result, 0);
    EXPECT_EQ(plugin.outputProperties(-1).result, 0);
    EXPECT_EQ(plugin.inputProperties(0).result, 0); // the frame's answer
}

TEST_F(PluginFrame, ProgramIsDefaultAndOnlyProgramZeroSelects)
{
    EXPECT_EQ(plugin.programName().text, "Default");
    EXPECT_EQ(plugin.getProgram(), 0);
    plugin.setProgram(1);
    EXPECT_EQ(plugin.getProgram(), 0);
    EXPECT_EQ(plugin.setProgram(0), 0);
    EXPECT_EQ(plugin.getProgram(), 0);
}

TEST_F(PluginFrame, ProgramNameIsCutToTwentyFourCharacters)
{
    char name[] = "abcdefghijklmnopqrstuvwxyz0123";
    plugin.dispatch(effSetProgramName, 0, 0, name);
    const auto reply = plugin.programName();
    EXPECT_EQ(reply.text, "abcdefghijklmnopqrstuvwx");
    EXPECT_TRUE(reply.terminated);
    EXPECT_EQ(reply.touched, 25u);

    char indexed[64] = {};
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 0, 0, indexed), 1);
    EXPECT_STREQ(indexed, "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 1, 0, indexed), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, -1, 0, indexed), 0);
}

TEST_F(PluginFrame, NullTextBuffersAreNotWritten)
{
    for (VstInt32 opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay,
                            effGetParamName, effSetProgramName})
        EXPECT_EQ(plugin.dispatch(opcode, 4, 0, nullptr), 0);
    for (VstInt32 opcode : {effGetEffectName, effGetVendorString, effGetProductString,
                            effGetOutputProperties, effGetProgramNameIndexed})
        plugin.dispatch(opcode, 0, 0, nullptr);
}

TEST_F(PluginFrame, EditorRectBeforeTheFirstOpenAndKeyOpcodes)
{
    const auto rect = plugin.editorRect();
    EXPECT_EQ(rect.result, 1);
    ASSERT_TRUE(rect.rect.has_value());
    EXPECT_EQ(rect.rect->top, 0);
    EXPECT_EQ(rect.rect->left, 0);
    EXPECT_EQ(rect.rect->bottom, 517);
    EXPECT_EQ(rect.rect->right, 260);
    EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, nullptr), 0); // nowhere to store it
    EXPECT_EQ(plugin.dispatch(effEditKeyDown, 'a', 1, nullptr, 0.0f), 0);
    EXPECT_EQ(plugin.dispatch(effEditKeyUp, 'a', 1, nullptr, 1.0e30f), 0);
    EXPECT_EQ(plugin.dispatch(effSetEditKnobMode, 0, 2), 0);
}

TEST_F(PluginFrame, CloseThroughTheRecordAnswersOne)
{
    plugin.startSession(44100.0, 512);
    EXPECT_EQ(plugin.close(), 1);
    EXPECT_TRUE(plugin.closed());
}

TEST_F(PluginFrame, DeprecatedProcessLeavesTheOutputUntouched)
{
    plugin.startSession(44100.0, 64);
    float in[2][64];
    float out[2][64];
    for (int i = 0; i < 64; ++i) {
        in[0][i] = in[1][i] = float(i);
        out[0][i] = out[1][i] = -7.0f;
    }
    float* ins[2] = {in[0], in[1]};
    float* outs[2] = {out[0], out[1]};
    plugin.processAccumulating(ins, outs, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(out[0][i], -7.0f);
}

TEST(PluginScan, ManyInstancesInARowConstructAndClose)
{
    Host host;
    for (int i = 0; i < 20; ++i) {
        LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
        const auto report = plugin.scan();
        EXPECT_EQ(report.effectName, "PravoLindel3");
        EXPECT_EQ(report.vendor, "Quillatone");
        EXPECT_EQ(report.vstVersion, 2400);
        EXPECT_EQ(report.category, 0);
        EXPECT_TRUE(plugin.closed());
    }
}

} // namespace
