// The plug-in on a machine that will not let it write: /tmp read-only, or no
// shared memory. Each case runs in a forked child with a mount namespace of its
// own, so the read-only mounts never reach the rest of the machine; the child
// reports what it found through a pipe and the plug-in's lines through a file.
#include "editorrig.h"
#include "loadedplugin.h"
#include "render.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

using namespace std::chrono_literals;

namespace {

constexpr int kCannotIsolate = 77;

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path);
    return bool(file << text);
}

// A user namespace gives a process without root the right to mount in its own
// mount namespace; root gets the mount namespace alone.
std::string enterPrivateMounts()
{
    if (unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return std::string("unshare: ") + std::strerror(errno);
        writeFile("/proc/self/setgroups", "deny");
        if (!writeFile("/proc/self/uid_map",
                       std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
            !writeFile("/proc/self/gid_map",
                       std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
            return "cannot map the user into its namespace";
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("private /: ") + std::strerror(errno);
    return {};
}

// The folder stays as it is, files and sockets included (the X server's among
// them), but nothing can be created, changed or removed in it.
std::string makeReadOnly(const char* folder)
{
    if (mount(folder, folder, nullptr, MS_BIND | MS_REC, nullptr) != 0 ||
        mount(nullptr, folder, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        return std::string("read-only ") + folder + ": " + std::strerror(errno);
    const std::string probe = std::string(folder) + "/pl3-probe";
    const int fd = open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd >= 0) {
        close(fd);
        unlink(probe.c_str());
        return std::string(folder) + " is still writable";
    }
    return {};
}

struct ChildReport {
    bool isolated = false;
    std::string whyNot;   // why the child could not isolate itself
    std::string failures; // what the scenario found wrong, a line each
    std::string output;   // the plug-in's standard output
    int status = -1;
};

// Scenario: returns its failures, empty when all held.
using Scenario = std::function<std::string()>;

ChildReport runWithReadOnly(const char* folder, const Scenario& scenario)
{
    ChildReport report;
    char outputPath[] = "/tmp/pl3-mounts-XXXXXX";
    const int outputFd = mkstemp(outputPath);
    int pipeFds[2];
    if (outputFd < 0 || pipe(pipeFds) != 0) {
        report.whyNot = "no output file or pipe";
        return report;
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        dup2(outputFd, STDOUT_FILENO);
        std::string text = enterPrivateMounts();
        if (text.empty()) text = makeReadOnly(folder);
        const int code = text.empty() ? 0 : kCannotIsolate;
        if (text.empty()) text = scenario();
        std::fflush(stdout);
        [[maybe_unused]] const ssize_t written = write(pipeFds[1], text.data(), text.size());
        _exit(code);
    }
    close(pipeFds[1]);
    char buffer[4096];
    std::string text;
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(pipeFds[0]);
    waitpid(child, &report.status, 0);
    const bool exited = WIFEXITED(report.status);
    report.isolated = exited && WEXITSTATUS(report.status) != kCannotIsolate;
    (report.isolated ? report.failures : report.whyNot) = text;
    if (!exited)
        report.failures += "the child died with signal " + std::to_string(WTERMSIG(report.status));
    std::ifstream file(outputPath);
    std::stringstream output;
    output << file.rdbuf();
    report.output = output.str();
    close(outputFd);
    unlink(outputPath);
    return report;
}

// Input whose frames all differ, so that pass-through and a loop tell apart.
hostcore::PlanarBuffer rampInput(size_t frames)
{
    hostcore::PlanarBuffer input(2, frames);
    for (size_t f = 0; f < frames; ++f) {
        input.at(0, f) = float(f) / float(frames);
        input.at(1, f) = -float(f) / float(frames);
    }
    return input;
}

// Two seconds at 120 BPM with loop 1 off, then on from the middle. The first
// second passes through once a loop left on by an earlier call has stopped (at
// the first beat); the second plays the loop. Returns what did not hold.
std::string playsThroughAndLoops(hostcore::LoadedPlugin& plugin, hostcore::Host& host)
{
    constexpr size_t kSwitch = 44032; // a block start just before beat 2
    constexpr size_t kFirstBeat = 22050;
    plugin.startSession(44100.0, 512);
    host.transport().setTempo(120.0);
    host.transport().play();
    hostcore::PlanarBuffer input = rampInput(2 * 44100);
    hostcore::PlanarBuffer output(2, input.frames());
    plugin.setParameter(0, 0.0f);
    plugin.setParameter(4, 0.5f);
    hostcore::render(plugin, input, output, 512, [&](size_t frame, VstInt32) {
        if (frame == kSwitch) plugin.setParameter(0, 1.0f);
    });
    plugin.setParameter(0, 0.0f);
    size_t passed = 0;
    size_t looped = 0;
    for (size_t f = 0; f < input.frames(); ++f) {
        if (!std::isfinite(output.at(0, f)) || !std::isfinite(output.at(1, f)))
            return "the output holds a non-finite sample\n";
        const bool same = output.at(0, f) == input.at(0, f) && output.at(1, f) == input.at(1, f);
        if (f >= kFirstBeat && f < kSwitch) passed += same;
        if (f >= kSwitch) looped += !same;
    }
    std::string failures;
    if (passed != kSwitch - kFirstBeat) failures += "the input did not pass through unchanged\n";
    if (looped < 22050) failures += "loop 1 did not play after the switch\n";
    return failures;
}

bool noUiStarted()
{
    return !editorrig::waitFor([] { return !editorrig::uiChildren().empty(); }, 1s);
}

TEST(PrivateMounts, ReadOnlyTmpLoadsPlaysAndTheEditorReportsAndSurvives)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
    const ChildReport report = runWithReadOnly("/tmp", [] {
        std::string failures;
        hostcore::Host host;
        hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
        editorrig::HostWindow window;
        failures += playsThroughAndLoops(plugin, host);
        if (plugin.editorOpen(window.id()) != 1) failures += "effEditOpen did not answer 1\n";
        if (!noUiStarted()) failures += "a UI process was started from an unwritten file\n";
        for (int i = 0; i < 100; ++i)
            plugin.setParameter(4 + i % 20, 0.25f);
        plugin.editorIdle();
        plugin.editorClose();
        plugin.editorOpen(window.id());
        plugin.editorClose();
        failures += playsThroughAndLoops(plugin, host);
        plugin.close();
        return failures;
    });
    if (!report.isolated) GTEST_SKIP() << "no private mount namespace: " << report.whyNot;
    EXPECT_EQ(report.failures, "");
    EXPECT_TRUE(WIFEXITED(report.status) && WEXITSTATUS(report.status) == 0);
    EXPECT_NE(report.output.find("PravoLindel3VST > error : child process can't start "),
              std::string::npos)
        << report.output;
    EXPECT_NE(report.output.find("PravoLindel3VST >  ERROR FIFO creation failed : "),
              std::string::npos)
        << report.output;
}

TEST(PrivateMounts, NoSharedMemoryReportsOnceAndTheAudioGoesOn)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
    const ChildReport report = runWithReadOnly("/dev/shm", [] {
        std::string failures;
        hostcore::Host host;
        hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
        editorrig::HostWindow window;
        failures += playsThroughAndLoops(plugin, host);
        plugin.editorOpen(window.id());
        if (!editorrig::waitFor([] { return editorrig::uiChildren().size() == 1; }, 5s))
            failures += "the UI did not start\n";
        if (!editorrig::waitFor([&] { return window.holdsWindowOfSize(260, 517); }, 5s))
            failures += "the editor did not show without a block\n";
        const std::vector<pid_t> ui = editorrig::uiChildren();
        for (int i = 0; i < 100; ++i)
            plugin.setParameter(4 + i % 20, 0.75f);
        plugin.editorIdle();
        failures += playsThroughAndLoops(plugin, host);
        plugin.editorClose();
        plugin.close();
        // The close waits for the UI and reaps it.
        for (const pid_t pid : ui)
            if (!editorrig::isReaped(pid)) failures += "the UI without a block did not end\n";
        return failures;
    });
    if (!report.isolated) GTEST_SKIP() << "no private mount namespace: " << report.whyNot;
    EXPECT_EQ(report.failures, "");
    EXPECT_TRUE(WIFEXITED(report.status) && WEXITSTATUS(report.status) == 0);
    const std::string line = "PravoLindel3VST > failed to map plugin shared memory \n";
    const size_t first = report.output.find(line);
    EXPECT_NE(first, std::string::npos) << report.output;
    EXPECT_EQ(report.output.find(line, first + 1), std::string::npos) << "reported more than once";
}

} // namespace
