// What an engine writes outside itself, the UI program in /tmp and its shared block, goes with
// it at effClose; a file someone else has put in their place stays.
#include "channel.h"
#include "heldinstances.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

bool exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

std::string blockPath(int32_t instance)
{
    return "/dev/shm" + sharedBlockName(instance);
}

TEST(EngineFiles, EffCloseRemovesTheUiProgramAndTheBlockItMade)
{
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    const int32_t instance = heldInstance(0);
    ASSERT_GE(instance, 0);
    const std::string program = channel::uiExecutablePath(instance);
    ASSERT_TRUE(exists(program));
    ASSERT_TRUE(exists(blockPath(instance)));
    plugin.startSession(44100.0, 512);
    plugin.close();
    EXPECT_FALSE(exists(program));
    EXPECT_FALSE(exists(blockPath(instance)));
}

TEST(EngineFiles, AFileSomeoneElsePutAtTheProgramsPathStays)
{
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    const std::string program = channel::uiExecutablePath(heldInstance(0));
    const std::string other = program + ".someone-else";
    std::ofstream(other) << "not the UI";
    ASSERT_EQ(rename(other.c_str(), program.c_str()), 0);
    plugin.close();
    std::ifstream file(program);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), "not the UI");
    unlink(program.c_str());
}

} // namespace
