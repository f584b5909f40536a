// The editor as a host drives it: the real library opens its UI process in a
// real X11 window, records travel both ways, and the UI ends with the effect,
// with its host, and never runs from or talks through a file planted in /tmp.
#include "channel.h"
#include "editorrig.h"
#include "heldinstances.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using editorrig::HostWindow;
using hostcore::Host;
using hostcore::LoadedPlugin;

namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 517;

pid_t onlyUiChild()
{
    pid_t found = -1;
    editorrig::waitFor(
        [&] {
            const auto children = editorrig::uiChildren();
            found = children.size() == 1 ? children[0] : -1;
            return found > 0;
        },
        5s);
    return found;
}

int32_t instanceOf(pid_t ui)
{
    const auto arguments = editorrig::argumentsOf(ui);
    return arguments.size() == 3 ? std::atoi(arguments[2].c_str()) : -1;
}

class EditorProcess : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb"; }

    Host host;
    std::unique_ptr<LoadedPlugin> plugin = std::make_unique<LoadedPlugin>(PL3_PLUGIN_PATH, host);
};

TEST_F(EditorProcess, FirstOpenStartsTheUiEmbeddedInTheHostWindow)
{
    // A descriptor of the host's own, inheritable: the UI must not get it.
    const std::string hostFile = "/tmp/pl3-host-file-" + std::to_string(getpid());
    const int hostFd = open(hostFile.c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(hostFd, 0);
    HostWindow window;
    EXPECT_EQ(plugin->editorOpen(window.id()), 1);
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    char link[4096] = {};
    const std::string inherited = "/proc/" + std::to_string(ui) + "/fd/" + std::to_string(hostFd);
    const ssize_t length = readlink(inherited.c_str(), link, sizeof(link) - 1);
    EXPECT_TRUE(length < 0 || std::string(link) != hostFile) << "the UI inherited a host file";
    close(hostFd);
    unlink(hostFile.c_str());
    const auto arguments = editorrig::argumentsOf(ui);
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(arguments[0], "PravoLindel3UI");
    EXPECT_EQ(arguments[1], std::to_string(window.id()));
    EXPECT_TRUE(editorrig::waitFor([&] { return window.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(ui));
}

TEST_F(EditorProcess, ReopeningMovesTheSameUiIntoTheNewWindow)
{
    HostWindow first;
    HostWindow second;
    plugin->editorOpen(first.id());
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    ASSERT_TRUE(editorrig::waitFor([&] { return first.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    plugin->editorClose();
    plugin->editorOpen(second.id());
    EXPECT_TRUE(editorrig::waitFor([&] { return second.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    // The UI embeds itself in the new window before it lets go of the old one.
    EXPECT_TRUE(editorrig::waitFor([&] { return !first.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    EXPECT_EQ(editorrig::uiChildren(), std::vector<pid_t>{ui});
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(ui));
}

TEST_F(EditorProcess, ARecordFromTheUiReachesEngineAndHostAndEchoesBack)
{
    HostWindow window;
    plugin->editorOpen(window.id());
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    const int32_t n = instanceOf(ui);
    // What the editor shows once it has painted and settled; with no audio running even the
    // oscilloscope draws the same picture every time.
    std::optional<uint64_t> shown;
    ASSERT_TRUE(editorrig::waitFor(
        [&] {
            const auto before = window.pixelChecksum(kWidth, kHeight);
            std::this_thread::sleep_for(300ms);
            shown = window.pixelChecksum(kWidth, kHeight);
            return before && before == shown;
        },
        10s));
    const auto record = channel::encodeParameter(5, 0.5f);
    ASSERT_TRUE(editorrig::writeRecord(channel::uiFifoPath(n), record.data(), record.size()));

    ASSERT_TRUE(editorrig::waitFor([&] { return !host.automations().empty(); }, 2s));
    const auto automation = host.automations().front();
    EXPECT_EQ(automation.index, 5);
    EXPECT_EQ(automation.opt, 0.5f);
    EXPECT_NE(automation.thread, std::this_thread::get_id()); // the poll thread
    EXPECT_EQ(plugin->getParameter(5), 0.5f);
    EXPECT_EQ(plugin->parameterDisplay(5).text, "1/2 beat");
    // The echo turns loop 2's size knob and shows "1/2 beat" under it.
    EXPECT_TRUE(editorrig::waitFor(
        [&] {
            const auto now = window.pixelChecksum(kWidth, kHeight);
            return now && now != shown;
        },
        2s));
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(ui));
}

TEST_F(EditorProcess, RecordsOutsideTheParametersNeverReachTheHost)
{
    HostWindow window;
    plugin->editorOpen(window.id());
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    const std::string fifo = channel::uiFifoPath(instanceOf(ui));
    for (const auto& record :
         {channel::encodeParameter(24, 1.0f), channel::encodeParameter(-1, 1.0f),
          channel::encodeParameter(3, std::numeric_limits<float>::quiet_NaN()),
          channel::encodeParameter(2, 1.0f)})
        ASSERT_TRUE(editorrig::writeRecord(fifo, record.data(), record.size()));
    ASSERT_TRUE(editorrig::waitFor([&] { return plugin->getParameter(2) == 1.0f; }, 2s));
    const auto automations = host.automations();
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 2);
    EXPECT_EQ(plugin->getParameter(3), 0.0f);
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(ui));
}

TEST_F(EditorProcess, DestroyingTheEffectEndsTheUiAndRemovesTheFifos)
{
    HostWindow window;
    plugin->editorOpen(window.id());
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    const int32_t n = instanceOf(ui);
    EXPECT_TRUE(editorrig::fileExists(channel::uiFifoPath(n)));
    EXPECT_TRUE(editorrig::fileExists(channel::pluginFifoPath(n)));
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(ui));
    EXPECT_FALSE(editorrig::fileExists(channel::uiFifoPath(n)));
    EXPECT_FALSE(editorrig::fileExists(channel::pluginFifoPath(n)));
}

TEST_F(EditorProcess, AnEditorNeverOpenedStillRemovesItsFifos)
{
    plugin->startSession(44100.0, 512);
    EXPECT_TRUE(editorrig::uiChildren().empty()) << "construction must not start the UI";
    const int32_t n = heldInstance(0);
    ASSERT_GE(n, 0);
    EXPECT_TRUE(editorrig::fileExists(channel::uiFifoPath(n)));
    EXPECT_TRUE(editorrig::fileExists(channel::pluginFifoPath(n)));
    plugin->close();
    EXPECT_FALSE(editorrig::fileExists(channel::uiFifoPath(n)));
    EXPECT_FALSE(editorrig::fileExists(channel::pluginFifoPath(n)));
    EXPECT_EQ(heldInstance(0), -1);
}

TEST_F(EditorProcess, TwoInstancesInOneHostNeverCross)
{
    Host otherHost;
    auto other = std::make_unique<LoadedPlugin>(PL3_PLUGIN_PATH, otherHost);
    HostWindow first;
    HostWindow second;
    plugin->editorOpen(first.id());
    ASSERT_TRUE(editorrig::waitFor([] { return editorrig::uiChildren().size() == 1; }, 5s));
    const pid_t firstUi = editorrig::uiChildren()[0];
    other->editorOpen(second.id());
    ASSERT_TRUE(editorrig::waitFor([] { return editorrig::uiChildren().size() == 2; }, 5s));
    const auto children = editorrig::uiChildren();
    const pid_t secondUi = children[0] == firstUi ? children[1] : children[0];
    const int32_t firstN = instanceOf(firstUi);
    const int32_t secondN = instanceOf(secondUi);
    EXPECT_NE(firstN, secondN);

    const auto record = channel::encodeParameter(7, 1.0f);
    ASSERT_TRUE(editorrig::writeRecord(channel::uiFifoPath(secondN), record.data(), record.size()));
    ASSERT_TRUE(editorrig::waitFor([&] { return other->getParameter(7) == 1.0f; }, 2s));
    EXPECT_EQ(plugin->getParameter(7), 0.6666667f);
    EXPECT_TRUE(host.automations().empty());
    EXPECT_TRUE(editorrig::waitFor([&] { return second.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    EXPECT_TRUE(editorrig::waitFor([&] { return first.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    other->close();
    EXPECT_TRUE(editorrig::isReaped(secondUi));
    EXPECT_FALSE(editorrig::hasEnded(firstUi));
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(firstUi));
}

TEST_F(EditorProcess, OpenCloseCyclesAndTheEffectsCloseLeaveNoZombie)
{
    HostWindow window;
    plugin->editorOpen(window.id());
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    ASSERT_TRUE(editorrig::waitFor([&] { return window.holdsWindowOfSize(kWidth, kHeight); }, 5s));
    for (int cycle = 1; cycle < 20; ++cycle) {
        plugin->editorClose();
        plugin->editorOpen(window.id());
    }
    plugin->editorClose();
    plugin->close();
    EXPECT_TRUE(editorrig::zombieChildren().empty());
    EXPECT_TRUE(editorrig::isReaped(ui));
}

// The close waits for the UI to end on the terminate record, and no longer; one
// that did not end would hold it for the whole bound.
TEST_F(EditorProcess, ClosingWithTheEditorOpenWaitsOnlyForTheUiToEnd)
{
    constexpr int kRuns = 5;
    std::vector<double> milliseconds;
    for (int run = 0; run < kRuns; ++run) {
        LoadedPlugin instance(PL3_PLUGIN_PATH, host);
        HostWindow window;
        instance.editorOpen(window.id());
        ASSERT_TRUE(
            editorrig::waitFor([&] { return window.holdsWindowOfSize(kWidth, kHeight); }, 5s));
        const pid_t ui = onlyUiChild();
        const auto start = std::chrono::steady_clock::now();
        instance.close();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(editorrig::isReaped(ui));
        EXPECT_LT(took.count(), 1500.0) << "the UI did not end on the terminate record";
        milliseconds.push_back(took.count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    // Figures for the notes, not a pass mark.
    std::printf(
        "effClose with the editor open: min %.1f ms, median %.1f ms, max %.1f ms (%d runs)\n",
        milliseconds.front(), milliseconds[kRuns / 2], milliseconds.back(), kRuns);
}

// A host process of its own: loads the plug-in, opens its editor in a window of
// its own connection, reports the UI's pid and instance, and waits to be killed.
pid_t startHostProcess(int report[2], bool openEditor)
{
    if (pipe(report) != 0) return -1;
    const pid_t child = fork();
    if (child != 0) return child;
    close(report[0]);
    Host childHost;
    LoadedPlugin childPlugin(PL3_PLUGIN_PATH, childHost);
    int32_t facts[2] = {-1, -1};
    std::unique_ptr<HostWindow> window;
    if (openEditor) {
        window = std::make_unique<HostWindow>();
        childPlugin.editorOpen(window->id());
        const pid_t ui = onlyUiChild();
        facts[0] = ui;
        facts[1] = ui > 0 ? instanceOf(ui) : -1;
    } else {
        facts[1] = heldInstance(0);
    }
    [[maybe_unused]] const ssize_t sent = write(report[1], facts, sizeof(facts));
    for (;;)
        pause();
}

TEST_F(EditorProcess, KillingTheHostEndsItsUi)
{
    int report[2];
    const pid_t hostProcess = startHostProcess(report, true);
    ASSERT_GT(hostProcess, 0);
    close(report[1]);
    int32_t facts[2] = {-1, -1};
    ASSERT_EQ(read(report[0], facts, sizeof(facts)), ssize_t(sizeof(facts)));
    close(report[0]);
    const pid_t ui = facts[0];
    ASSERT_GT(ui, 0);
    ASSERT_FALSE(editorrig::hasEnded(ui));
    kill(hostProcess, SIGKILL);
    waitpid(hostProcess, nullptr, 0);
    EXPECT_TRUE(editorrig::waitFor([&] { return editorrig::hasEnded(ui); }, 3s));
}

TEST_F(EditorProcess, TwoHostProcessesNeverShareAnInstanceNumber)
{
    // Both processes load the library afresh, so both counters start at 0.
    plugin.reset();
    int report[2];
    const pid_t hostProcess = startHostProcess(report, false);
    ASSERT_GT(hostProcess, 0);
    close(report[1]);
    int32_t facts[2] = {-1, -1};
    ASSERT_EQ(read(report[0], facts, sizeof(facts)), ssize_t(sizeof(facts)));
    close(report[0]);
    plugin = std::make_unique<LoadedPlugin>(PL3_PLUGIN_PATH, host);
    HostWindow window;
    plugin->editorOpen(window.id());
    const pid_t ui = onlyUiChild();
    ASSERT_GT(ui, 0);
    EXPECT_EQ(facts[1], 0);
    EXPECT_NE(instanceOf(ui), facts[1]);
    EXPECT_EQ(instanceOf(ui), heldInstance(0));
    kill(hostProcess, SIGKILL);
    waitpid(hostProcess, nullptr, 0);
    plugin->close();
    EXPECT_TRUE(editorrig::isReaped(ui));
}

} // namespace
