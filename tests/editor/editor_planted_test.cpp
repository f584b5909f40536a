// /tmp is shared with every user of the machine: what somebody plants at the
// plug-in's names there is never followed, executed or used.
#include "channel.h"
#include "editorrig.h"
#include "heldinstances.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace std::chrono_literals;
using editorrig::HostWindow;
using hostcore::Host;
using hostcore::LoadedPlugin;

namespace {

// The instance number the next engine of this process takes: the first one
// whose shared memory object nobody holds. The editor tests run one at a time.
int32_t nextInstance()
{
    for (int32_t n = 0;; ++n) {
        const int fd = shm_open(sharedBlockName(n).c_str(), O_RDWR, 0);
        if (fd < 0) return n;
        const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
        close(fd);
        if (free) return n;
    }
}

std::string contentOf(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text, mode_t mode)
{
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
}

class Planted : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb"; }
    void TearDown() override
    {
        for (const auto& path : cleanUp)
            unlink(path.c_str());
    }
    std::string scratch(const std::string& name)
    {
        cleanUp.push_back("/tmp/pl3-planted-" + std::to_string(getpid()) + "-" + name);
        return cleanUp.back();
    }

    const int32_t n = nextInstance();
    std::vector<std::string> cleanUp;
};

TEST_F(Planted, ALinkAtTheExecutablesPathIsReplacedNeverFollowed)
{
    const std::string exe = channel::uiExecutablePath(n);
    const std::string script = scratch("script");
    const std::string marker = scratch("ran");
    const std::string scriptText = "#!/bin/sh\ntouch " + marker + "\n";
    writeFile(script, scriptText, 0755);
    unlink(exe.c_str());
    ASSERT_EQ(symlink(script.c_str(), exe.c_str()), 0);

    Host host;
    LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    ASSERT_EQ(heldInstance(0), n);
    struct stat status {};
    ASSERT_EQ(lstat(exe.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    EXPECT_EQ(status.st_uid, geteuid());
    EXPECT_EQ(contentOf(script), scriptText);

    HostWindow window;
    plugin.editorOpen(window.id());
    ASSERT_TRUE(editorrig::waitFor([] { return editorrig::uiChildren().size() == 1; }, 5s));
    const pid_t ui = editorrig::uiChildren()[0];
    char running[4096] = {};
    ASSERT_GT(
        readlink(("/proc/" + std::to_string(ui) + "/exe").c_str(), running, sizeof(running) - 1),
        0);
    EXPECT_EQ(std::string(running), exe);
    EXPECT_TRUE(editorrig::waitFor([&] { return window.holdsWindowOfSize(260, 517); }, 5s));
    EXPECT_FALSE(editorrig::fileExists(marker));
}

TEST_F(Planted, FifosThatAreLinksOrOpenToOthersAreRefused)
{
    const std::string uiFifo = channel::uiFifoPath(n);
    const std::string pluginFifo = channel::pluginFifoPath(n);
    const std::string target = scratch("target");
    writeFile(target, "untouched", 0600);
    unlink(uiFifo.c_str());
    unlink(pluginFifo.c_str());
    ASSERT_EQ(symlink(target.c_str(), uiFifo.c_str()), 0);
    ASSERT_EQ(mkfifo(pluginFifo.c_str(), 0600), 0);
    ASSERT_EQ(chmod(pluginFifo.c_str(), 0644), 0);
    // What the plug-in writes into the planted FIFO would wait here.
    const int spy = open(pluginFifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(spy, 0);

    // gtest reports on standard output: the captures end before anything is checked.
    std::string said;
    std::string uiSaid;
    pid_t ui = -1;
    Host host;
    auto plugin = std::make_unique<LoadedPlugin>(PL3_PLUGIN_PATH, host);
    const int32_t held = heldInstance(0);
    HostWindow window;
    {
        editorrig::OutputCapture pluginOutput;
        editorrig::ErrorCapture uiOutput;
        plugin->editorOpen(window.id());
        if (editorrig::waitFor([] { return editorrig::uiChildren().size() == 1; }, 5s))
            ui = editorrig::uiChildren()[0];
        plugin->setParameter(5, 0.5f);
        plugin->editorClose();
        plugin->editorOpen(window.id());
        editorrig::waitFor(
            [&] { return uiOutput.text().find("can't open Plugin FIFO") != std::string::npos; },
            5s);
        said = pluginOutput.text();
        uiSaid = uiOutput.text();
    }
    ASSERT_EQ(held, n);
    ASSERT_GT(ui, 0);
    EXPECT_NE(said.find("refusing FIFO " + uiFifo + ": it is a symbolic link"), std::string::npos)
        << said;
    EXPECT_NE(said.find("refusing FIFO " + pluginFifo + ": it is open to other users"),
              std::string::npos)
        << said;
    EXPECT_NE(uiSaid.find("can't open UI FIFO: " + uiFifo + " is a symbolic link"),
              std::string::npos)
        << uiSaid;
    EXPECT_NE(uiSaid.find("can't open Plugin FIFO: " + pluginFifo + " is open to other users"),
              std::string::npos)
        << uiSaid;
    EXPECT_EQ(contentOf(target), "untouched");
    char leaked[64];
    EXPECT_LE(read(spy, leaked, sizeof(leaked)), 0) << "the plug-in wrote into a refused FIFO";
    close(spy);

    // The UI never got a channel: it cannot be told to end and is stopped instead.
    plugin.reset();
    EXPECT_TRUE(editorrig::waitFor([&] { return editorrig::hasEnded(ui); }, 1s));
    EXPECT_EQ(contentOf(target), "untouched");
}

} // namespace
