// A host scanning plug-ins: many instances created and closed in a row in one
// process leave no descriptor, mapping, thread, file or process behind.
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

using hostcore::Host;
using hostcore::LoadedPlugin;

namespace {

size_t entriesOf(const std::string& directory)
{
    size_t count = 0;
    if (DIR* dir = opendir(directory.c_str())) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

size_t linesOf(const std::string& path)
{
    std::ifstream file(path);
    return size_t(std::count(std::istreambuf_iterator<char>(file), {}, '\n'));
}

// Names in /tmp and /dev/shm that the plug-in makes.
std::set<std::string> channelFiles()
{
    std::set<std::string> names;
    for (const char* directory : {"/tmp", "/dev/shm"})
        if (DIR* dir = opendir(directory)) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name.rfind("pravolindel3", 0) == 0 || name.rfind("PravoLindel3UI", 0) == 0 ||
                    name.rfind("prvldata.mmap", 0) == 0)
                    names.insert(std::string(directory) + "/" + name);
            }
            closedir(dir);
        }
    return names;
}

struct Footprint {
    size_t descriptors = entriesOf("/proc/self/fd");
    size_t mappings = linesOf("/proc/self/maps");
    size_t threads = entriesOf("/proc/self/task");
    std::set<std::string> files = channelFiles();
};

void scanRound(Host& host, int instances)
{
    std::vector<std::unique_ptr<LoadedPlugin>> plugins;
    for (int i = 0; i < instances; ++i)
        plugins.push_back(std::make_unique<LoadedPlugin>(PL3_PLUGIN_PATH, host));
    for (auto& plugin : plugins)
        plugin->scan();
}

TEST(ScanStorm, SixteenInstancesAHundredTimesLeaveNothingBehind)
{
    Host host;
    scanRound(host, 16); // the library's own first-load footprint
    const Footprint before;
    std::vector<double> createAndClose;
    for (int round = 0; round < 100; ++round) {
        const auto start = std::chrono::steady_clock::now();
        scanRound(host, 16);
        createAndClose.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count() /
            16.0);
    }
    const Footprint after;
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.mappings, before.mappings);
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.files, before.files);
    std::sort(createAndClose.begin(), createAndClose.end());
    // A figure for the notes, not a pass mark: these machines are noisy.
    std::printf("create-and-close median %.3f ms, worst %.3f ms\n", createAndClose[50],
                createAndClose.back());
}

} // namespace
