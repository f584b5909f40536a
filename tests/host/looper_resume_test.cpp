// resume allocates the loop buffers; an engine that cannot have them says so
// once and passes its input through. The capture ring's pages are in place
// before the audio thread writes them.
#include "audiobuffer.h"
#include "loadedplugin.h"
#include "render.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

// Runs body in a child process and answers its exit status.
int inChildProcess(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(LooperResume, BuffersThatCannotBeHadMeanPassThroughAndOneLine)
{
    const std::string said = "/tmp/pl3-resume-" + std::to_string(getpid()) + ".txt";
    const int status = inChildProcess([&] {
        if (!freopen(said.c_str(), "w", stdout)) return 2;
        hostcore::Host host;
        hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
        // Far less address space than the 128 MiB of buffers.
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        std::ifstream statm("/proc/self/statm");
        size_t pages = 0;
        statm >> pages;
        limit.rlim_cur = pages * size_t(sysconf(_SC_PAGESIZE)) + (64 << 20);
        setrlimit(RLIMIT_AS, &limit);
        plugin.startSession(44100.0, 512);
        plugin.mainsChanged(false);
        plugin.mainsChanged(true); // still nothing, and not said again
        plugin.setParameter(0, 1.0f);
        host.transport().play();
        hostcore::PlanarBuffer input(2, 100000);
        hostcore::PlanarBuffer output(2, 100000);
        for (size_t f = 0; f < 100000; ++f)
            input.at(0, f) = -(input.at(1, f) = float(f + 1));
        hostcore::render(plugin, input, output, 512);
        for (size_t f = 0; f < 100000; ++f)
            for (int c = 0; c < 2; ++c)
                if (output.at(c, f) != input.at(c, f)) return 3;
        return 0;
    });
    std::ifstream file(said);
    std::stringstream text;
    text << file.rdbuf();
    std::remove(said.c_str());
    EXPECT_EQ(status, 0);
    const std::string line =
        "PravoLindel3VST > cannot allocate the loop buffers; passing the input through\n";
    EXPECT_NE(text.str().find(line), std::string::npos) << text.str();
    EXPECT_EQ(text.str().find(line), text.str().rfind(line)) << "said more than once";
}

long faultsOfThisThread()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// Renders `seconds` of 64-frame blocks paced in real time from the transport's
// start, calling atBlock before each block, and counts the page faults (minor
// and major) the rendering thread takes from the block `from` on: the first
// blocks touch the plug-in's state and the shared block for the first time,
// and the keeper may not have had its first tick yet.
long faultsRenderingInRealTime(double sampleRate, double tempo, double seconds,
                               const std::function<void(hostcore::LoadedPlugin&, int)>& atBlock)
{
    constexpr VstInt32 kBlock = 64;
    constexpr int kFrom = 200;
    hostcore::Host host;
    host.transport().setTempo(tempo);
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    plugin.startSession(sampleRate, kBlock);
    host.transport().play();
    hostcore::PlanarBuffer input(2, kBlock, 0.25f);
    hostcore::PlanarBuffer output(2, kBlock);
    const auto period = std::chrono::duration<double>(kBlock / sampleRate);
    auto next = std::chrono::steady_clock::now();
    long faults = 0;
    const auto blocks = int(seconds * sampleRate / kBlock);
    for (int block = 0; block < blocks; ++block) {
        atBlock(plugin, block);
        const long before = faultsOfThisThread();
        plugin.process(input.pointersAt(0), output.pointersAt(0), kBlock);
        if (block >= kFrom) faults += faultsOfThisThread() - before;
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
        std::this_thread::sleep_until(next);
    }
    plugin.close();
    return faults;
}

// The ring takes a fresh page of each channel every 1,024 frames for its first
// lap (three minutes); rendering in real time, the audio thread finds every one
// of them already there.
TEST(LooperResume, TheAudioThreadTakesNoPageFaultWritingTheRing)
{
#ifdef PL3_SANITIZED
    GTEST_SKIP() << "the sanitizer's shadow memory is faulted in by the audio thread's writes";
#endif
    EXPECT_EQ(faultsRenderingInRealTime(44100.0, 120.0, 2.3, [](auto&, int) {}), 0);
}

// A bar at 60 BPM and 48 kHz switched on 3 s after resume: the capture reaches
// back before the ring's first frame, to its end, and copies 192,000 frames into
// the loop buffer, and the recording appends eight beats behind them. The
// audio thread finds every page there.
TEST(LooperResume, TheAudioThreadTakesNoPageFaultCapturingABarAndRecordingBehindIt)
{
#ifdef PL3_SANITIZED
    GTEST_SKIP() << "the sanitizer's shadow memory is faulted in by the audio thread's writes";
#endif
    constexpr double kRate = 48000.0;
    const int switchOn = int(3.0 * kRate / 64);
    EXPECT_EQ(faultsRenderingInRealTime(kRate, 60.0, 15.0,
                                        [&](hostcore::LoadedPlugin& plugin, int block) {
                                            if (block == switchOn) plugin.setParameter(0, 1.0f);
                                        }),
              0);
}

} // namespace
