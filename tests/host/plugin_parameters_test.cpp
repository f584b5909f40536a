// The 24 parameters through the host: names, defaults, display texts, and what
// values outside 0..1, infinities and NaN do.
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

using hostcore::Host;
using hostcore::LoadedPlugin;

namespace {

class PluginParameters : public ::testing::Test {
protected:
    Host host;
    LoadedPlugin plugin{PL3_PLUGIN_PATH, host};

    std::string display(VstInt32 index) { return plugin.parameterDisplay(index).text; }
    std::string valueTextFor(float value)
    {
        plugin.setParameter(5, value);
        return display(5);
    }
};

TEST_F(PluginParameters, Names)
{
    const char* expected[24] = {"Loop1",  "Loop2",  "Loop3",   "Loop4",   "Value1",  "Value2",
                                "Value3", "Value4", "pitch1",  "pitch2",  "pitch3",  "pitch4",
                                "rev1",   "rev2",   "rev3",    "rev4",    "FX1",     "FX2",
                                "FX3",    "FX4",    "FX1 sel", "FX2 sel", "FX3 sel", "FX4 sel"};
    for (VstInt32 i = 0; i < 24; ++i) {
        const auto reply = plugin.parameterName(i);
        EXPECT_EQ(reply.text, expected[i]);
        EXPECT_TRUE(reply.terminated);
        EXPECT_EQ(plugin.parameterLabel(i).text, "");
        EXPECT_EQ(plugin.dispatch(effCanBeAutomated, i), 1);
    }
    for (VstInt32 outside : {-1, 24, 1000, std::numeric_limits<VstInt32>::min()}) {
        EXPECT_EQ(plugin.parameterName(outside).text, "");
        EXPECT_EQ(plugin.getParameter(outside), 0.0f);
        EXPECT_EQ(plugin.parameterDisplay(outside).touched, 0u) << "nothing written";
    }
}

TEST_F(PluginParameters, DefaultsAndTheirTexts)
{
    const float values[4] = {0.0f, 0.22222222f, 0.33333334f, 0.6666667f};
    const char* texts[4] = {"1 bar", "1 beat", "3/4 beat", "1/4 beat"};
    const char* effects[4] = {"Bit Reducer", "Autopan", "Hipass", "Phazer"};
    for (int loop = 0; loop < 4; ++loop) {
        EXPECT_EQ(plugin.getParameter(loop), 0.0f);
        EXPECT_EQ(plugin.getParameter(4 + loop), values[loop]);
        EXPECT_EQ(plugin.getParameter(8 + loop), 0.5f);
        EXPECT_EQ(plugin.getParameter(12 + loop), 0.0f);
        EXPECT_EQ(plugin.getParameter(16 + loop), 0.0f);
        EXPECT_EQ(plugin.getParameter(20 + loop), float(loop) * 0.25f);
        EXPECT_EQ(display(loop), "OFF");
        EXPECT_EQ(display(4 + loop), texts[loop]);
        EXPECT_EQ(display(8 + loop), "100");
        EXPECT_EQ(display(12 + loop), "Normal");
        EXPECT_EQ(display(16 + loop), "Off");
        EXPECT_EQ(display(20 + loop), effects[loop]);
    }
}

TEST_F(PluginParameters, SwitchesShowTheirState)
{
    plugin.setParameter(0, 1.0f);
    plugin.setParameter(13, 0.5f);
    plugin.setParameter(18, 0.75f);
    EXPECT_EQ(display(0), "ON");
    EXPECT_EQ(plugin.getParameter(0), 1.0f);
    EXPECT_EQ(display(13), "Reverse");
    EXPECT_EQ(plugin.getParameter(13), 1.0f);
    EXPECT_EQ(display(18), "On");
    EXPECT_EQ(plugin.getParameter(18), 1.0f);
    plugin.setParameter(13, 0.49999997f);
    EXPECT_EQ(display(13), "Normal");
    EXPECT_EQ(plugin.getParameter(13), 0.0f);
}

TEST_F(PluginParameters, ValueStepsAtTheirEdges)
{
    const float ninth = 1.0f / 9.0f; // the float nearest 1/9: × 9 rounds to exactly 1
    EXPECT_EQ(valueTextFor(ninth), "2 beat");
    EXPECT_EQ(valueTextFor(std::nextafter(ninth, 0.0f)), "1 bar");
    EXPECT_EQ(valueTextFor(0.0f), "1 bar");
    EXPECT_EQ(valueTextFor(1.0f), "1/32 beat");
    EXPECT_EQ(valueTextFor(std::nextafter(1.0f, 0.0f)), "1/16 beat");
    EXPECT_EQ(valueTextFor(8.0f / 9.0f), "1/16 beat");
    EXPECT_EQ(valueTextFor(0.5f), "1/2 beat");
    EXPECT_EQ(valueTextFor(0.6f), "3/8 beat");
    EXPECT_EQ(valueTextFor(0.8f), "1/8 beat");
    EXPECT_EQ(plugin.getParameter(5), 0.8f);
}

TEST_F(PluginParameters, ValuesOutsideTheStepsKeepTheOldText)
{
    plugin.setParameter(5, 0.5f);
    auto before = plugin.parameterDisplay(5);
    EXPECT_EQ(before.text, "1/2 beat");
    plugin.setParameter(5, 10.0f / 9.0f + 0.01f);
    EXPECT_EQ(plugin.getParameter(5), 10.0f / 9.0f + 0.01f); // stored all the same
    EXPECT_EQ(plugin.parameterDisplay(5).touched, 0u);
    plugin.setParameter(5, -0.2f);
    EXPECT_EQ(plugin.parameterDisplay(5).touched, 0u);
    // Slightly outside 0..1 acts like the nearest step.
    EXPECT_EQ(valueTextFor(-0.05f), "1 bar");
    EXPECT_EQ(valueTextFor(1.05f), "1/32 beat");
}

TEST_F(PluginParameters, PitchShowsTheSpeedInPercent)
{
    plugin.setParameter(8, 0.75f);
    EXPECT_EQ(display(8), "141");
    plugin.setParameter(8, 0.0f);
    EXPECT_EQ(display(8), "50");
    plugin.setParameter(8, 1.0f);
    EXPECT_EQ(display(8), "200");
    EXPECT_EQ(plugin.getParameter(8), 1.0f);
    plugin.setParameter(8, 0.5f);
    EXPECT_EQ(display(8), "100");
}

TEST_F(PluginParameters, FxSelectNamesTheEffectItSelects)
{
    for (VstInt32 index = 20; index < 24; ++index) {
        plugin.setParameter(index, 0.6f);
        const auto reply = plugin.parameterDisplay(index);
        EXPECT_EQ(reply.text, "Hipass");
        EXPECT_TRUE(reply.terminated);
        EXPECT_EQ(reply.result, 0);
        EXPECT_EQ(plugin.getParameter(index), 0.6f);
    }
    // trunc(value x 4), at most 3: the effect that plays.
    const std::pair<float, const char*> named[] = {
        {0.0f, "Bit Reducer"}, {0.24999999f, "Bit Reducer"},
        {0.25f, "Autopan"},    {0.5f, "Hipass"},
        {0.75f, "Phazer"},     {1.0f, "Phazer"},
        {7.0f, "Phazer"},      {-0.2f, "Bit Reducer"},
    };
    for (const auto& [value, name] : named) {
        plugin.setParameter(21, value);
        EXPECT_EQ(display(21), name) << value;
    }
    // At or below -1/4 no effect plays, and the text is empty.
    for (float none : {-0.25f, -0.5f, -1000.0f}) {
        plugin.setParameter(21, 0.5f);
        plugin.setParameter(21, none);
        const auto reply = plugin.parameterDisplay(21);
        EXPECT_EQ(reply.text, "") << none;
        EXPECT_TRUE(reply.terminated) << none;
    }
}

TEST_F(PluginParameters, NonFiniteValuesChangeNothing)
{
    plugin.setParameter(1, 1.0f);
    plugin.setParameter(9, 0.75f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf, -nan}) {
        for (VstInt32 index = 0; index < 24; ++index)
            plugin.setParameter(index, bad);
        EXPECT_EQ(plugin.getParameter(1), 1.0f);
        EXPECT_EQ(plugin.getParameter(9), 0.75f);
        EXPECT_EQ(display(9), "141");
        EXPECT_EQ(plugin.getParameter(5), 0.22222222f);
        EXPECT_EQ(plugin.getParameter(21), 0.25f);
    }
}

TEST_F(PluginParameters, HugeFiniteValuesAreDefined)
{
    const float huge = std::numeric_limits<float>::max();
    const float tiny = std::numeric_limits<float>::denorm_min();
    for (float value : {huge, -huge, 1.0e9f, -1.0e9f, 200.0f, -200.0f, tiny, -tiny}) {
        for (VstInt32 index = 0; index < 24; ++index) {
            plugin.setParameter(index, value);
            EXPECT_EQ(plugin.getParameter(index), (index < 4 || (index >= 12 && index < 20))
                                                      ? (value >= 0.5f ? 1.0f : 0.0f)
                                                      : value)
                << "index " << index << " value " << value;
            const auto reply = plugin.parameterDisplay(index);
            EXPECT_LT(reply.touched, 16u);
        }
    }
    plugin.setParameter(8, 200.0f);
    EXPECT_EQ(display(8), "6553600"); // the speed is held at sixteen octaves
}

// Loop, rev and FX of loop 3, each stored at a value on both sides of one half.
TEST_F(PluginParameters, SetProgramCountsAStoredSwitchAsOnFromOneHalf)
{
    const std::pair<float, float> storedAndRead[] = {
        {0.3f, 0.0f}, {0.49999997f, 0.0f}, {0.5f, 1.0f}, {0.8f, 1.0f}, {-0.3f, 0.0f}};
    for (VstInt32 index : {2, 14, 18})
        for (const auto& [stored, read] : storedAndRead) {
            plugin.setParameter(index, stored);
            plugin.setProgram(0);
            EXPECT_EQ(plugin.getParameter(index), read) << "index " << index << " " << stored;
        }
}

TEST_F(PluginParameters, SetProgramCopiesStoredSwitchesWithoutRunningHandlers)
{
    plugin.setParameter(2, 1.0f);
    plugin.setParameter(2, 0.0f);
    plugin.setParameter(14, 1.0f);
    EXPECT_EQ(plugin.getParameter(14), 1.0f);
    plugin.setProgram(0);
    EXPECT_EQ(plugin.getParameter(2), 0.0f);
    EXPECT_EQ(plugin.getParameter(14), 1.0f);
    EXPECT_EQ(plugin.getParameter(6), 0.33333334f);
}

} // namespace
