// The editor's scale on its own: which source wins, the 1 to 4 range, the Xft.dpi line and
// its rounding, the rectangle, and the UI program's environment.
#include "editorscale.h"
#include "uienvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using editorscale::Source;

struct ScaleCase {
    const char* name;
    const char* environment;
    std::optional<float> hostFactor;
    std::optional<double> xftDpi;
    double scale;
    Source source;
    bool rejected;
};

class ScaleChoice : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleChoice, FirstSetSourceGivesTheScale)
{
    const ScaleCase& c = GetParam();
    int dpiReads = 0;
    const editorscale::Sources sources{c.environment, c.hostFactor, [&] {
                                           ++dpiReads;
                                           return c.xftDpi;
                                       }};
    const editorscale::Choice choice = editorscale::choose(sources);
    EXPECT_DOUBLE_EQ(choice.scale, c.scale);
    EXPECT_EQ(choice.source, c.source);
    EXPECT_EQ(choice.rejected, c.rejected);
    // The display is asked only when neither the user nor the host has said.
    const bool dpiNeeded = (!c.environment || !*c.environment) && !c.hostFactor;
    EXPECT_EQ(dpiReads, dpiNeeded ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    EditorScale, ScaleChoice,
    ::testing::Values(
        ScaleCase{"NothingSet", nullptr, {}, {}, 1.0, Source::None, false},
        ScaleCase{"XftDpiAlone", nullptr, {}, 192.0, 2.0, Source::XftDpi, false},
        ScaleCase{"HostOverXftDpi", nullptr, 1.25f, 192.0, 1.25, Source::Host, false},
        ScaleCase{"UserOverHostAndXftDpi", "1.5", 2.0f, 192.0, 1.5, Source::UserSetting, false},
        ScaleCase{"EmptyUserSettingIsUnset", "", 3.0f, {}, 3.0, Source::Host, false},
        ScaleCase{"UserSettingAtTheTop", "4", {}, {}, 4.0, Source::UserSetting, false},
        ScaleCase{"UserSettingTooLarge", "4.5", 2.0f, {}, 1.0, Source::UserSetting, true},
        ScaleCase{"UserSettingTooSmall", "0.5", 2.0f, {}, 1.0, Source::UserSetting, true},
        ScaleCase{"UserSettingNoNumber", "big", 2.0f, {}, 1.0, Source::UserSetting, true},
        ScaleCase{"UserSettingTrailingText", "2x", {}, {}, 1.0, Source::UserSetting, true},
        ScaleCase{"UserSettingNotANumber", "nan", {}, {}, 1.0, Source::UserSetting, true},
        ScaleCase{"HostFactorZero", nullptr, 0.0f, 192.0, 1.0, Source::Host, true},
        ScaleCase{"XftDpiBelowOne", nullptr, {}, 72.0, 1.0, Source::XftDpi, true},
        ScaleCase{"XftDpiAboveFour", nullptr, {}, 480.0, 1.0, Source::XftDpi, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct DpiCase {
    double dpi;
    double scale;
};

class DpiRounding : public ::testing::TestWithParam<DpiCase> {};

TEST_P(DpiRounding, ToTheNearestQuarter)
{
    EXPECT_DOUBLE_EQ(editorscale::scaleOfDpi(GetParam().dpi), GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(EditorScale, DpiRounding,
                         ::testing::Values(DpiCase{96, 1.0}, DpiCase{100, 1.0}, DpiCase{110, 1.25},
                                           DpiCase{120, 1.25}, DpiCase{144, 1.5},
                                           DpiCase{168, 1.75}, DpiCase{192, 2.0},
                                           DpiCase{288, 3.0}));

struct ResourceCase {
    const char* resources;
    std::optional<double> dpi;
};

class XftDpiLine : public ::testing::TestWithParam<ResourceCase> {};

TEST_P(XftDpiLine, IsFoundAndRead)
{
    EXPECT_EQ(editorscale::parseXftDpi(GetParam().resources), GetParam().dpi);
}

INSTANTIATE_TEST_SUITE_P(
    EditorScale, XftDpiLine,
    ::testing::Values(ResourceCase{"Xft.dpi:\t192\n", 192.0},
                      ResourceCase{"*customization:\t-color\nXft.dpi:  144 \nXft.hinting:\t1\n", 144.0},
                      ResourceCase{"Xft.antialias:\t1\nXft.dpi:\t120", 120.0},
                      ResourceCase{"Xft.dpi:\t96.5\n", 96.5},
                      ResourceCase{"", std::nullopt},
                      ResourceCase{"Xft.antialias:\t1\n", std::nullopt},
                      ResourceCase{"Xft.dpi:\tlarge\n", std::nullopt},
                      ResourceCase{"Xft.dpi:\n", std::nullopt},
                      ResourceCase{"MyApp.Xft.dpi:\t192\n", std::nullopt}));

struct RectangleCase {
    double scale;
    bool hostScales;
    int width;
    int height;
};

class EditorRectangle : public ::testing::TestWithParam<RectangleCase> {};

TEST_P(EditorRectangle, IsTheLayoutScaledAndRounded)
{
    const RectangleCase& c = GetParam();
    const ERect rect = editorscale::rectangleFor(c.scale, c.hostScales);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, c.width);
    EXPECT_EQ(rect.bottom, c.height);
}

INSTANTIATE_TEST_SUITE_P(EditorScale, EditorRectangle,
                         ::testing::Values(RectangleCase{1.0, false, 260, 517},
                                           RectangleCase{1.25, false, 325, 646},
                                           RectangleCase{1.5, false, 390, 776},
                                           RectangleCase{2.0, false, 520, 1034},
                                           RectangleCase{4.0, false, 1040, 2068},
                                           RectangleCase{2.0, true, 260, 517}));

TEST(EditorScale, HostsThatScaleEditorsAreKnownByProduct)
{
    EXPECT_TRUE(editorscale::hostScalesEditors("Qtractor"));
    EXPECT_FALSE(editorscale::hostScalesEditors("Ardour"));
    EXPECT_FALSE(editorscale::hostScalesEditors(""));
}

TEST(EditorScale, TheLogLineSaysWhereTheScaleCameFrom)
{
    const auto line = [](const char* environment, std::optional<float> host,
                         std::optional<double> dpi) {
        return editorscale::describe(editorscale::choose({environment, host, [=] { return dpi; }}));
    };
    EXPECT_EQ(line(nullptr, {}, 144.0), "editor scale 1.5 from Xft.dpi 144");
    EXPECT_EQ(line(nullptr, 2.0f, {}), "editor scale 2 from the host");
    EXPECT_EQ(line("7", {}, {}), "editor scale 1: PRAVOLINDEL3_SCALE \"7\" is no scale from 1 to 4");
    EXPECT_EQ(line(nullptr, {}, {}), "editor scale 1");
}

std::vector<std::string> uiEnvironmentOf(std::vector<std::string> host)
{
    std::vector<char*> pointers;
    for (std::string& entry : host)
        pointers.push_back(entry.data());
    pointers.push_back(nullptr);
    const UiEnvironment environment(pointers.data());
    std::vector<std::string> entries;
    for (char* const* entry = environment.entries(); *entry; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

TEST(UiEnvironment, IsTheHostsWithQtScalingOff)
{
    const std::vector<std::string> host = {
        "DISPLAY=:3", "QT_SCALE_FACTOR=2", "QT_SCREEN_SCALE_FACTORS=DP-1=2",
        "QT_AUTO_SCREEN_SCALE_FACTOR=1", "QT_ENABLE_HIGHDPI_SCALING=1", "QT_FONT_DPI=192",
        "QT_SCALE_FACTOR_ROUNDING_POLICY=PassThrough", "HOME=/home/musician"};
    const std::vector<std::string> expected = {
        "DISPLAY=:3", "QT_SCALE_FACTOR_ROUNDING_POLICY=PassThrough", "HOME=/home/musician",
        "QT_ENABLE_HIGHDPI_SCALING=0", "QT_FONT_DPI=96"};
    EXPECT_EQ(uiEnvironmentOf(host), expected);
}

TEST(UiEnvironment, FromAnEmptyHostEnvironment)
{
    EXPECT_EQ(uiEnvironmentOf({}),
              (std::vector<std::string>{"QT_ENABLE_HIGHDPI_SCALING=0", "QT_FONT_DPI=96"}));
}

} // namespace
