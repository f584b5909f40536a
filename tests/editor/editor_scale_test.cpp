// The editor's scale with the real library, its UI process and the X server: the rectangle
// the plug-in gives for each source of the scale, the host window made at it, and the UI's
// window filling that window, also when the window changes size while the editor is open.
#include "editorrig.h"
#include "hosteditorwindow.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

using namespace std::chrono_literals;
using editorrig::EnvironmentSetting;
using editorrig::XftDpiSetting;
using hostcore::Host;
using hostcore::HostEditorWindow;
using hostcore::LoadedPlugin;
using hostcore::WindowArea;

namespace {

std::string textOf(const WindowArea& area)
{
    return std::to_string(area.width) + " x " + std::to_string(area.height) + " at " +
           std::to_string(area.x) + ", " + std::to_string(area.y);
}

} // namespace

namespace hostcore {
void PrintTo(const WindowArea& area, std::ostream* out)
{
    *out << textOf(area);
}
} // namespace hostcore

namespace {

// For a failure's message: the host window and what is shown inside it.
std::string layoutOf(const HostEditorWindow& window)
{
    std::string text = "host window " + textOf(window.area()) + "; inside:";
    for (const WindowArea& child : window.shownChildren()) {
        text += ' ';
        text += textOf(child);
    }
    return text;
}

bool uiFillsSoon(const HostEditorWindow& window)
{
    return editorrig::waitFor([&] { return window.filledByOneChild(); }, 5s);
}

struct Rectangle {
    int width;
    int height;
    bool operator==(const Rectangle&) const = default;
};

Rectangle rectangleOf(LoadedPlugin& plugin)
{
    const auto reply = plugin.editorRect();
    if (!reply.rect) return {0, 0};
    return {reply.rect->right - reply.rect->left, reply.rect->bottom - reply.rect->top};
}

void PrintTo(const Rectangle& rect, std::ostream* out)
{
    *out << rect.width << " x " << rect.height;
}

class EditorScaleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb"; }
};

struct ScaleCase {
    const char* name;
    std::optional<int> xftDpi;
    const char* userScale; // PRAVOLINDEL3_SCALE; null: unset
    std::optional<float> hostFactor;
    const char* product;       // the host's product string; null: none
    const char* qtScaleFactor; // QT_SCALE_FACTOR in the host's environment; null: unset
    Rectangle rectangle;
};

void PrintTo(const ScaleCase& c, std::ostream* out)
{
    *out << c.name;
}

class EditorScaleOnScreen : public EditorScaleTest,
                            public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(EditorScaleOnScreen, RectangleAndUiWindowFillingTheHostWindow)
{
    const ScaleCase& c = GetParam();
    const XftDpiSetting dpi(c.xftDpi);
    const EnvironmentSetting user("PRAVOLINDEL3_SCALE", c.userScale);
    const EnvironmentSetting qt("QT_SCALE_FACTOR", c.qtScaleFactor);
    Host host;
    if (c.product) host.setProductString(c.product);
    LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    if (c.hostFactor) {
        EXPECT_EQ(plugin.sendScaleFactor(*c.hostFactor), 1);
    }
    EXPECT_EQ(rectangleOf(plugin), c.rectangle);
    HostEditorWindow window(plugin);
    ASSERT_EQ(window.openEditor(), 1);
    EXPECT_TRUE(uiFillsSoon(window)) << layoutOf(window);
    EXPECT_EQ(window.area(), (WindowArea{0, 0, c.rectangle.width, c.rectangle.height}));
}

INSTANTIATE_TEST_SUITE_P(
    EditorScale, EditorScaleOnScreen,
    ::testing::Values(
        ScaleCase{"XftDpi192", 192, nullptr, {}, nullptr, nullptr, {520, 1034}},
        ScaleCase{"XftDpi144", 144, nullptr, {}, nullptr, nullptr, {390, 776}},
        ScaleCase{"NoXftDpi", {}, nullptr, {}, nullptr, nullptr, {260, 517}},
        ScaleCase{"HostFactorOverXftDpi", 144, nullptr, 2.0f, nullptr, nullptr, {520, 1034}},
        ScaleCase{"UserScaleOverHostAndXftDpi", 192, "1.5", 2.0f, nullptr, nullptr, {390, 776}},
        // Qt's own scaling would draw the UI at 520 x 1034 in the 260 x 517 window.
        ScaleCase{"QtScaleFactorOfTheHostIgnored", 96, nullptr, {}, nullptr, "2", {260, 517}},
        ScaleCase{"QtractorScalesTheWindowItself", 192, nullptr, {}, "Qtractor", nullptr,
                  {260, 517}}),
    [](const auto& info) { return std::string(info.param.name); });

// A host window made at the rectangle of scale 1, Xft.dpi unset.
struct OpenedAtScaleOne {
    XftDpiSetting dpi{std::nullopt};
    Host host;
    LoadedPlugin plugin{PL3_PLUGIN_PATH, host};
    HostEditorWindow window{plugin};
    std::tuple<HostEditorWindow&, LoadedPlugin&, Host&> parts() { return {window, plugin, host}; }
};

TEST_F(EditorScaleTest, UiFollowsTheHostWindowResizedAfterTheOpen)
{
    OpenedAtScaleOne editor;
    ASSERT_EQ(editor.window.openEditor(), 1);
    ASSERT_TRUE(uiFillsSoon(editor.window)) << layoutOf(editor.window);
    auto&& [window, plugin, host] = editor.parts();
    window.resize(390, 776);
    EXPECT_TRUE(uiFillsSoon(window)) << layoutOf(window);
}

// The host resizes its window when asked; a factor that leaves the rectangle as it is asks
// for nothing.
TEST_F(EditorScaleTest, HostFactorWhileOpenAsksTheHostForTheNewSize)
{
    OpenedAtScaleOne editor;
    ASSERT_EQ(editor.window.openEditor(), 1);
    ASSERT_TRUE(uiFillsSoon(editor.window)) << layoutOf(editor.window);
    auto&& [window, plugin, host] = editor.parts();
    EXPECT_EQ(plugin.sendScaleFactor(1.0f), 1);
    EXPECT_TRUE(host.sizeRequests().empty());
    EXPECT_EQ(plugin.sendScaleFactor(2.0f), 1);
    const auto requests = host.sizeRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].index, 520);
    EXPECT_EQ(requests[0].value, 1034);
    EXPECT_EQ(rectangleOf(plugin), (Rectangle{520, 1034}));
    EXPECT_TRUE(uiFillsSoon(window)) << layoutOf(window);
}

} // namespace
