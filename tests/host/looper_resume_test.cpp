// resume allocates the loop buffers; an engine that cannot have them says so
// once and passes its input through.
#include "audiobuffer.h"
#include "loadedplugin.h"
#include "render.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

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

} // namespace
