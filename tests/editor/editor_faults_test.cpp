// Faults around the editor: the UI process killed, the FIFO files deleted.
// The plug-in renders on, its writes fail quietly and nothing hangs.
#include "channel.h"
#include "editorrig.h"
#include "heldinstances.h"
#include "loadedplugin.h"
#include "render.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

using namespace std::chrono_literals;
using editorrig::HostWindow;

namespace {

class EditorFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
        plugin.startSession(44100.0, 512);
        host.transport().play();
        plugin.editorOpen(window.id());
        ASSERT_TRUE(editorrig::waitFor([&] { return editorrig::uiChildren().size() == 1; }, 5s));
        ui = editorrig::uiChildren()[0];
    }

    // Renders a second of audio with a loop switched on and parameters changing.
    bool rendersOn()
    {
        hostcore::PlanarBuffer input(2, 44100, 0.25f);
        hostcore::PlanarBuffer output(2, 44100);
        plugin.setParameter(0, 1.0f);
        hostcore::render(plugin, input, output, 512, [&](size_t frame, VstInt32) {
            plugin.setParameter(VstInt32(frame / 512 % 24), 0.5f);
        });
        for (size_t f = 0; f < output.frames(); ++f)
            if (!std::isfinite(output.at(0, f))) return false;
        return true;
    }

    hostcore::Host host;
    hostcore::LoadedPlugin plugin{PL3_PLUGIN_PATH, host};
    HostWindow window;
    pid_t ui = -1;
};

TEST_F(EditorFaults, AKilledUiLeavesThePluginWorkingAndReopenable)
{
    kill(ui, SIGKILL);
    EXPECT_TRUE(editorrig::waitFor([&] { return editorrig::isReaped(ui); }, 2s))
        << "the poll leaves the ended UI a zombie";
    EXPECT_TRUE(rendersOn());
    // Thousands of records with nobody reading: the pipe fills, writes fail quietly.
    for (int i = 0; i < 20000; ++i)
        plugin.setParameter(i % 24, float(i % 100) / 100.0f);
    plugin.editorClose();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(plugin.editorOpen(window.id()), 1); // an open record nobody reads
    plugin.editorIdle();
    EXPECT_TRUE(rendersOn());
    plugin.close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "something waited";
    EXPECT_TRUE(editorrig::uiChildren().empty()) << "the UI must not be restarted";
}

TEST_F(EditorFaults, DeletedFifoFilesLeaveTheOpenChannelWorking)
{
    // The UI opens its FIFOs before it shows its window.
    ASSERT_TRUE(editorrig::waitFor([&] { return window.holdsWindowOfSize(260, 517); }, 5s));
    const int32_t n = heldInstance(0);
    unlink(channel::uiFifoPath(n).c_str());
    unlink(channel::pluginFifoPath(n).c_str());
    EXPECT_TRUE(rendersOn());
    plugin.editorClose();
    plugin.editorOpen(window.id());
    plugin.close();
    // The UI still ends, and is reaped by the close.
    EXPECT_TRUE(editorrig::isReaped(ui));
}

} // namespace
