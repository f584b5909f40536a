// The program with its editor, in the X server the test command starts: a window of the
// editor's size holding the plug-in's UI, the events file fed by edits made in the UI, and
// every way a session ends leaving no UI process and no FIFO file behind.
#include "channel.h"
#include "playaudio.h"
#include "playeditor.h"
#include "playprogram.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace playtest;

constexpr XClient::Size kEditorSize{260, 517};
constexpr int kRate = 44100;
constexpr int kBlock = 256;

struct EditorLine {
    unsigned long window = 0;
    int x = -1;
    int y = -1;
};

std::optional<EditorLine> parseEditorLine(const std::string& line)
{
    EditorLine parsed;
    char rest = 0;
    if (std::sscanf(line.c_str(), "pravolindel3-play: editor window 0x%lx at %d,%d%c",
                    &parsed.window, &parsed.x, &parsed.y, &rest) != 3)
        return std::nullopt;
    return parsed;
}

class PlayEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!displayNamed()) GTEST_SKIP() << "no X display: run under xvfb-run";
        client = std::make_unique<XClient>();
        fifosBefore = pluginFifos();
    }

    // Starts the program and waits for its editor line and for the UI to show in the window.
    EditorLine start(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.end(), {"--audio", "none", "--output", "out.wav"});
        play = std::make_unique<PlayProcess>(arguments, folder.path());
        const auto line = play->waitForLine("pravolindel3-play: editor window ", 10s);
        if (!line) ADD_FAILURE() << "no editor line; stdout: " << play->out() << play->err();
        const auto parsed = line ? parseEditorLine(*line) : std::nullopt;
        if (!parsed) {
            ADD_FAILURE() << "malformed editor line: " << line.value_or("");
            return {};
        }
        if (!waitFor([&] { return x().holdsWindowOfSize(parsed->window, kEditorSize); }, 10s))
            ADD_FAILURE() << "no " << kEditorSize.width << "x" << kEditorSize.height
                          << " window below 0x" << std::hex << parsed->window;
        return *parsed;
    }

    pid_t onlyUiProcess(unsigned long window)
    {
        const auto processes = uiProcessesFor(window);
        if (processes.size() != 1) {
            ADD_FAILURE() << processes.size() << " UI processes for the window";
            return -1;
        }
        return processes[0];
    }

    // After a normal end: the status, the summary, no UI and no FIFO of this run.
    void expectEndedCleanly(unsigned long window)
    {
        EXPECT_EQ(play->waitForExit(5s), 0) << play->err();
        const auto lines = toolLines(play->out());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("pravolindel3-play: wrote ", 0), 0u) << lines.back();
        EXPECT_TRUE(waitFor([&] { return uiProcessesFor(window).empty(); }, 1s));
        for (const std::string& name : pluginFifos())
            EXPECT_TRUE(fifosBefore.count(name)) << "/tmp/" << name << " was left";
        EXPECT_GT(readAudio(folder.file("out.wav")).frames(), 0u);
    }

    const XClient& x() const { return *client; }

    ScratchFolder folder;
    std::set<std::string> fifosBefore;
    std::unique_ptr<XClient> client;
    std::unique_ptr<PlayProcess> play;
};

TEST_F(PlayEditor, TheWindowHoldsTheEditorAndCtrlCEndsEverything)
{
    const EditorLine editor = start({"--geometry", "+40+60"});
    ASSERT_NE(editor.window, 0u);
    EXPECT_EQ(editor.x, 40);
    EXPECT_EQ(editor.y, 60);
    EXPECT_EQ(x().sizeOf(editor.window), kEditorSize);
    EXPECT_EQ(x().titleOf(editor.window), "PravoLindel3 play");
    EXPECT_TRUE(x().offersDeleteWindow(editor.window));
    EXPECT_EQ(x().minimumSizeOf(editor.window), kEditorSize);
    EXPECT_EQ(x().maximumSizeOf(editor.window), kEditorSize);
    const pid_t ui = onlyUiProcess(editor.window);
    ASSERT_GT(ui, 0);
    // The plug-in's FIFO files for this instance exist while it runs.
    const std::string instance = argumentsOf(ui).at(2);
    EXPECT_TRUE(pluginFifos().count("pravolindel3ui" + instance + ".fifo"));
    EXPECT_TRUE(pluginFifos().count("pravolindel3plugin" + instance + ".fifo"));

    play->signal(SIGINT);
    expectEndedCleanly(editor.window);
    EXPECT_FALSE(x().sizeOf(editor.window)) << "the window outlived the program";
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
}

TEST_F(PlayEditor, EditsInTheUiReachTheEventsFileAndClosingTheWindowEnds)
{
    const EditorLine editor = start({"--events", "events.txt"});
    ASSERT_NE(editor.window, 0u);
    const pid_t ui = onlyUiProcess(editor.window);
    ASSERT_GT(ui, 0);
    const std::string fifo = channel::uiFifoPath(std::stoi(argumentsOf(ui).at(2)));

    // Each record stands for a knob turned in the UI; the plug-in tells the host about it.
    const auto waitForEvent = [&](int index, float value) -> std::optional<long long> {
        const auto record = channel::encodeParameter(index, value);
        if (!writeRecord(fifo, record.data(), record.size())) return std::nullopt;
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "automate %d %.9g frame ", index, double(value));
        std::optional<long long> frame;
        waitFor(
            [&] {
                for (const std::string& line : linesOf(folder.readText("events.txt")))
                    if (line.rfind(prefix, 0) == 0)
                        frame = std::stoll(line.substr(std::strlen(prefix)));
                return frame.has_value();
            },
            3s);
        return frame;
    };
    const auto first = waitForEvent(5, 0.5f);
    ASSERT_TRUE(first) << folder.readText("events.txt");
    std::this_thread::sleep_for(500ms);
    const auto second = waitForEvent(6, 0.1f);
    ASSERT_TRUE(second) << folder.readText("events.txt");
    EXPECT_EQ(linesOf(folder.readText("events.txt")).size(), 2u) << folder.readText("events.txt");

    // Song frames of the blocks in progress as they came: half a second or more apart.
    EXPECT_EQ(*first % kBlock, 0);
    EXPECT_EQ(*second % kBlock, 0);
    EXPECT_GE(*second - *first, 0.4 * kRate);
    EXPECT_LT(*second - *first, 3.0 * kRate);

    x().askToClose(editor.window);
    expectEndedCleanly(editor.window);
    EXPECT_GT(static_cast<long long>(readAudio(folder.file("out.wav")).frames()), *second);
}

TEST_F(PlayEditor, DestroyingTheWindowEndsTheSession)
{
    const EditorLine editor = start({});
    ASSERT_NE(editor.window, 0u);
    ASSERT_GT(onlyUiProcess(editor.window), 0);
    x().destroy(editor.window);
    expectEndedCleanly(editor.window);
}

// What xkill does, or an X server that goes away: the connection is lost, not the window.
TEST_F(PlayEditor, LosingTheDisplayConnectionEndsTheSession)
{
    const EditorLine editor = start({});
    ASSERT_NE(editor.window, 0u);
    ASSERT_GT(onlyUiProcess(editor.window), 0);
    x().killClientOf(editor.window);
    expectEndedCleanly(editor.window);
    EXPECT_EQ(play->err().find("XIO"), std::string::npos) << play->err();
}

// Lets a process held stopped go on, however the test leaves.
class Stopped {
public:
    explicit Stopped(pid_t pid) : pid_(pid) { kill(pid_, SIGSTOP); }
    ~Stopped() { kill(pid_, SIGCONT); }

private:
    pid_t pid_;
};

// While the plug-in waits for its UI to end, a second Ctrl-C ends the program at once. The UI
// is held stopped so that the wait lasts.
TEST_F(PlayEditor, ASecondSignalWhileEndingDoesNotWait)
{
    const EditorLine editor = start({});
    ASSERT_NE(editor.window, 0u);
    const pid_t ui = onlyUiProcess(editor.window);
    ASSERT_GT(ui, 0);
    const std::string instance = argumentsOf(ui).at(2);
    auto stopped = std::make_unique<Stopped>(ui);
    play->signal(SIGINT);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(play->running()) << "ended before the UI did";
    play->signal(SIGINT);
    EXPECT_EQ(play->waitForExit(3s), 130);

    // Nothing half-written: no temporary file, and an output only if it was complete.
    for (const std::string& entry : folder.entries())
        EXPECT_EQ(entry, "out.wav");
    if (!folder.entries().empty()) {
        EXPECT_GT(readAudio(folder.file("out.wav")).frames(), 0u);
    }

    // The UI reads the terminate record the plug-in left it and ends; the FIFO the plug-in
    // would have removed after that wait is the test's to remove.
    stopped.reset();
    EXPECT_TRUE(waitFor([&] { return hasEnded(ui); }, 3s));
    if (!hasEnded(ui)) kill(ui, SIGKILL);
    if (!fifosBefore.count("pravolindel3plugin" + instance + ".fifo"))
        unlink(("/tmp/pravolindel3plugin" + instance + ".fifo").c_str());
}

} // namespace
