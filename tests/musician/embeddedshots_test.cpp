// The embedded editor as the X server shows it at 1x and 2x (Xft.dpi 96 and 192), kept as
// screenshots for a person to look at: it fills the host window and draws all over it.
#include "editorrig.h"
#include "hosteditorwindow.h"
#include "screenshot.h"
#include "xconnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace std::chrono_literals;

namespace {

struct ShotCase {
    int dpi;
    const char* name;
};

void PrintTo(const ShotCase& c, std::ostream* out)
{
    *out << c.name;
}

class EmbeddedEditorShot : public ::testing::TestWithParam<ShotCase> {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb"; }
};

TEST_P(EmbeddedEditorShot, FillsTheHostWindowDrawnAllOver)
{
    const editorrig::XftDpiSetting dpi(GetParam().dpi);
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    hostcore::HostEditorWindow window(plugin);
    ASSERT_EQ(window.openEditor(), 1);
    ASSERT_TRUE(editorrig::waitFor([&] { return window.filledByOneChild(); }, 5s));
    const hostcore::WindowArea area = window.area();
    // A screen lower than the 2x editor shows its top part.
    const int height = std::min(area.height, musician::screenHeight());
    // A layout drawn at 1x in the corner of a larger window leaves the lower right quarter
    // empty. A slow UI may not have drawn yet: the shot is taken again until it has, or a while
    // has passed.
    const auto drawnInLowerRight = [&](const musician::Shot& shot) {
        return shot.cropped({area.width / 2, height / 2, area.width / 2, height / 2})
                   .pixelsUnlikeTheirRowStart() > 0;
    };
    musician::Shot shot;
    const bool drawn = editorrig::waitFor(
        [&] {
            shot = musician::settledShotOf({area.x, area.y, area.width, height});
            return drawnInLowerRight(shot);
        },
        15s);
    shot.save(GetParam().name);
    EXPECT_TRUE(drawn);
}

INSTANTIATE_TEST_SUITE_P(EditorScale, EmbeddedEditorShot,
                         ::testing::Values(ShotCase{96, "editor-embedded-1x"},
                                           ShotCase{192, "editor-embedded-2x"}),
                         [](const auto& info) { return "XftDpi" + std::to_string(info.param.dpi); });

} // namespace
