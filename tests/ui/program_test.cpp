// The built UI program as the plug-in starts it: its command line, its exit, its parent.
#include "channelfiles.h"
#include "uiprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string kEmbedLine = "PravoLindel3UI > trying to create embed X11 widget ";
const std::string kTerminateLine = "PravoLindel3UI > terminating QApplication ";
const std::string kHostGoneLine = "PravoLindel3UI > host process is gone, quitting";
const std::string kUnhandled = "unhandled opcode";

bool opensChannelFiles(pid_t pid)
{
    const auto files = openFilesOf(pid);
    return std::any_of(files.begin(), files.end(), [](const std::string& file) {
        return file.find("pravolindel3") != std::string::npos ||
               file.find("prvldata") != std::string::npos;
    });
}

bool exitedWithZero(const std::optional<int>& status)
{
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

size_t countLines(const std::vector<std::string>& lines, const std::string& line)
{
    return size_t(std::count(lines.begin(), lines.end(), line));
}

} // namespace

TEST(UiProgram, StandaloneStartsAWindowAndOpensNoChannelFile)
{
    UiProcess ui({});
    std::this_thread::sleep_for(700ms);
    ASSERT_FALSE(ui.waitForExit(0ms)) << ui.standardError();
    EXPECT_FALSE(opensChannelFiles(ui.pid()));
    EXPECT_EQ(countLines(ui.errorLines(), kEmbedLine), 0u);
}

TEST(UiProgram, WindowIdWithoutInstanceEmbedsWithoutAChannel)
{
    UiProcess ui({"60817415"});
    ASSERT_TRUE(ui.waitForErrorLine(kEmbedLine, 5s)) << ui.standardError();
    std::this_thread::sleep_for(300ms);
    ASSERT_FALSE(ui.waitForExit(0ms)) << ui.standardError();
    EXPECT_FALSE(opensChannelFiles(ui.pid()));
    EXPECT_EQ(countLines(ui.errorLines(), kEmbedLine), 1u);
}

TEST(UiProgram, TerminateRecordEndsItWithZeroAfterReadingWhatCameBefore)
{
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock();
    files.openEnds();
    // Written before the program runs: records wait in the pipe while the test holds it open.
    files.writePlugin(join({parameterBytes(5, 0.5f), terminateBytes()}));
    UiProcess ui({"0", std::to_string(files.instance)});
    const std::optional<int> status = ui.waitForExit(5s);
    ASSERT_TRUE(exitedWithZero(status)) << ui.standardError();
    EXPECT_EQ(files.pluginBytesWaiting(), 0u);
    const auto lines = ui.errorLines();
    // Parameters are shown, never printed.
    const std::vector<std::string> expectedOrder{kEmbedLine, kTerminateLine};
    std::vector<std::string> ours;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(ours),
                 [](const std::string& line) { return line.rfind("PravoLindel3UI > ", 0) == 0; });
    EXPECT_EQ(ours, expectedOrder);
    EXPECT_EQ(ui.standardOutput().find(kUnhandled), std::string::npos);
}

TEST(UiProgram, EchoesNothingUnasked)
{
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock();
    files.openEnds();
    UiProcess ui({"0", std::to_string(files.instance)});
    ASSERT_TRUE(ui.waitForErrorLine(kEmbedLine, 5s)) << ui.standardError();
    files.writePlugin(parameterBytes(7, 0.25f));
    EXPECT_TRUE(waitUntil([&] { return files.pluginBytesWaiting() == 0; }, 5s));
    // The poll that read the record has applied it well before this.
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(files.readUi().empty());
    files.writePlugin(terminateBytes());
    EXPECT_TRUE(exitedWithZero(ui.waitForExit(5s))) << ui.standardError();
}

TEST(UiProgram, UnknownOpcodeLineGoesToStandardOutput)
{
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock();
    files.openEnds();
    files.writePlugin({0x80});
    UiProcess ui({"0", std::to_string(files.instance)});
    ASSERT_TRUE(ui.waitForErrorLine(kEmbedLine, 5s));
    std::this_thread::sleep_for(300ms);
    files.writePlugin(terminateBytes());
    ASSERT_TRUE(exitedWithZero(ui.waitForExit(5s))) << ui.standardError();
    EXPECT_EQ(ui.standardOutput(),
              "PravoLindel3UI > processMessageFromPlugin : unhandled opcode\n");
}

// The host is played by a shell that starts the program and exits when told to. This test
// process adopts the orphan, so that it can collect the program's exit status.
TEST(UiProgram, ExitsWithZeroWhenTheProcessThatStartedItIsGone)
{
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock();
    const std::string errorPath = files.scratchPath("err");

    int toHost[2];
    int fromHost[2];
    ASSERT_EQ(pipe(toHost), 0);
    ASSERT_EQ(pipe(fromHost), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    posix_spawn_file_actions_addclose(&actions, toHost[1]);
    posix_spawn_file_actions_addclose(&actions, fromHost[0]);
    std::string script = "\"$0\" 0 \"$1\" </dev/null >/dev/null 2>\"$2\" & echo $!; read line";
    std::string shell = "sh";
    std::string dashC = "-c";
    std::string program = PL3_UI_PATH;
    std::string instance = std::to_string(files.instance);
    std::string error = errorPath;
    char* argv[] = {shell.data(),    dashC.data(), script.data(), program.data(),
                    instance.data(), error.data(), nullptr};
    pid_t host = -1;
    ASSERT_EQ(posix_spawn(&host, "/bin/sh", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(toHost[0]);
    close(fromHost[1]);

    char pidText[32] = {};
    ASSERT_GT(read(fromHost[0], pidText, sizeof(pidText) - 1), 0);
    close(fromHost[0]);
    const pid_t ui = pid_t(std::stol(pidText));

    // The program has taken note of its parent once it reaches its embedding step.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::vector<std::string> lines;
    while (countLines(lines, kEmbedLine) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        lines = linesOf(readWholeFile(errorPath));
    }
    ASSERT_EQ(countLines(lines, kEmbedLine), 1u);
    ASSERT_EQ(kill(ui, 0), 0) << "the program ended before its host";

    close(toHost[1]); // the shell's read ends, and so does the shell
    int hostStatus = 0;
    ASSERT_EQ(waitpid(host, &hostStatus, 0), host);
    // From here on the program is this process's child.

    std::optional<int> status;
    const auto exitDeadline = std::chrono::steady_clock::now() + 5s;
    while (!status && std::chrono::steady_clock::now() < exitDeadline) {
        int waitStatus = 0;
        if (waitpid(ui, &waitStatus, WNOHANG) == ui)
            status = waitStatus;
        else
            std::this_thread::sleep_for(10ms);
    }
    if (!status) {
        kill(ui, SIGKILL);
        waitpid(ui, nullptr, 0);
    }
    ASSERT_TRUE(exitedWithZero(status));
    EXPECT_EQ(countLines(linesOf(readWholeFile(errorPath)), kHostGoneLine), 1u);
}
