// Parameter references in a timeline: the names PravoLindel3 reports, the
// underscore and case forms, indices, and what is not there.
#include "parametertable.h"

#include "loadedplugin.h"
#include "offlinesession.h"
#include "rendererror.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pl3render::ParameterTable;
using pl3render::RenderError;

std::vector<std::string> pluginNames()
{
    pl3render::OfflineSession session(PL3_PLUGIN_PATH, 44100.0, {});
    return session.parameterNames();
}

class PluginParameterNames : public ::testing::Test {
protected:
    static void SetUpTestSuite() { table = new ParameterTable(pluginNames()); }
    static void TearDownTestSuite() { delete table; }
    static ParameterTable* table;
};
ParameterTable* PluginParameterNames::table = nullptr;

TEST_F(PluginParameterNames, SessionReadsEveryNameThePluginReports)
{
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    ASSERT_EQ(table->size(), static_cast<std::size_t>(plugin.effect().numParams));
    for (int i = 0; i < plugin.effect().numParams; ++i)
        EXPECT_EQ(table->name(i), plugin.parameterName(i).text);
}

TEST_F(PluginParameterNames, NamesAsReported)
{
    EXPECT_EQ(table->resolve("Loop1"), 0);
    EXPECT_EQ(table->resolve("Loop4"), 3);
    EXPECT_EQ(table->resolve("Value2"), 5);
    EXPECT_EQ(table->resolve("pitch3"), 10);
    EXPECT_EQ(table->resolve("rev4"), 15);
    EXPECT_EQ(table->resolve("FX1"), 16);
    EXPECT_EQ(table->resolve("FX1 sel"), 20);
    EXPECT_EQ(table->resolve("FX4 sel"), 23);
}

TEST_F(PluginParameterNames, UnderscoreAndCaseForms)
{
    EXPECT_EQ(table->resolve("FX1_sel"), 20);
    EXPECT_EQ(table->resolve("FX3_sel"), 22);
    EXPECT_EQ(table->resolve("fx2 SEL"), 21);
    EXPECT_EQ(table->resolve("loop1"), 0);
    EXPECT_EQ(table->resolve("PITCH2"), 9);
}

TEST_F(PluginParameterNames, Indices)
{
    EXPECT_EQ(table->resolve("0"), 0);
    EXPECT_EQ(table->resolve("7"), 7);
    EXPECT_EQ(table->resolve("23"), 23);
    EXPECT_THROW(table->resolve("24"), RenderError);
    EXPECT_THROW(table->resolve("-1"), RenderError);
    EXPECT_THROW(table->resolve("+3"), RenderError);
    EXPECT_THROW(table->resolve("1.0"), RenderError);
}

TEST_F(PluginParameterNames, UnknownNamesAreRefusedListingWhatThereIs)
{
    EXPECT_THROW(table->resolve("Loop5"), RenderError);
    EXPECT_THROW(table->resolve("FX1sel"), RenderError);
    EXPECT_THROW(table->resolve(""), RenderError);
    try {
        table->resolve("Loop9");
        FAIL();
    } catch (const RenderError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("the plug-in has no parameter 'Loop9' (it has 24: Loop1, ", 0), 0u)
            << message;
        EXPECT_NE(message.find("FX4 sel, or an index 0..23)"), std::string::npos) << message;
    }
}

TEST(ParameterTableRules, ANameWinsOverAnIndexAndCaseOnlyDecidesWhenItMust)
{
    const ParameterTable table({"Gain", "gain", "5", "Dry_Wet", ""});
    EXPECT_EQ(table.resolve("Gain"), 0);
    EXPECT_EQ(table.resolve("gain"), 1);
    EXPECT_THROW(table.resolve("GAIN"), RenderError) << "two names differ only in case";
    EXPECT_EQ(table.resolve("5"), 2) << "a parameter named 5 is that one, not index 5";
    EXPECT_EQ(table.resolve("3"), 3);
    EXPECT_EQ(table.resolve("Dry_Wet"), 3);
    EXPECT_EQ(table.resolve("dry wet"), 3);
    EXPECT_EQ(table.resolve("4"), 4) << "an unnamed parameter is reached by index";
    EXPECT_THROW(table.resolve("5x"), RenderError);
}

TEST(ParameterTableRules, APluginWithoutParameters)
{
    const ParameterTable table({});
    try {
        table.resolve("0");
        FAIL();
    } catch (const RenderError& error) {
        EXPECT_STREQ(error.what(), "the plug-in has no parameter '0' (it has none)");
    }
}

} // namespace
