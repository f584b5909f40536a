// A host scanning plug-ins: many instances created and closed in a row in one
// process leave no descriptor, mapping, thread, file or process behind. With the
// editor tests, one test at a time: it compares what stands in /tmp.
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

// The named mappings an engine makes: its shared block and the library itself.
size_t engineMappings()
{
    std::ifstream maps("/proc/self/maps");
    size_t count = 0;
    std::string line;
    while (std::getline(maps, line))
        if (line.find("prvldata.mmap") != std::string::npos ||
            line.find("PravoLindel3") != std::string::npos)
            ++count;
    return count;
}

// The process's address space in MiB: every session's buffers take 128 MiB of
// it (the kernel may merge them with neighbouring anonymous mappings).
size_t addressSpaceMiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    size_t kib = 0;
    while (status >> key)
        if (key == "VmSize:") {
            status >> kib;
            break;
        }
    return kib / 1024;
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
    size_t mappings = engineMappings();
    size_t addressSpace = addressSpaceMiB();
    size_t threads = entriesOf("/proc/self/task");
    std::set<std::string> files = channelFiles();
};

// Half the instances are scanned, half get a session (and so their buffers);
// answers the footprint while all of them live.
Footprint scanRound(Host& host, int instances)
{
    std::vector<std::unique_ptr<LoadedPlugin>> plugins;
    for (int i = 0; i < instances; ++i)
        plugins.push_back(std::make_unique<LoadedPlugin>(PL3_PLUGIN_PATH, host));
    for (size_t i = 0; i < plugins.size(); i += 2)
        plugins[i]->startSession(44100.0, 512);
    const Footprint live;
    for (size_t i = 0; i < plugins.size(); ++i)
        if (i % 2)
            plugins[i]->scan(); // ends with effClose
        else
            plugins[i]->close();
    return live;
}

TEST(ScanStorm, SixteenInstancesAHundredTimesLeaveNothingBehind)
{
    Host host;
    scanRound(host, 16); // the library's own first-load footprint
    const Footprint before;
    std::vector<double> createAndClose;
    for (int round = 0; round < 100; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const Footprint live = scanRound(host, 16);
        createAndClose.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count() /
            16.0);
        // Every engine's block and every session's buffers are there meanwhile.
        ASSERT_GE(live.mappings, before.mappings + 16);
        ASSERT_GE(live.addressSpace, before.addressSpace + 8 * 128);
    }
    const Footprint after;
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.mappings, before.mappings);
#if !defined(__SANITIZE_THREAD__)
    // A leaked session would keep 128 MiB; allocators move a little on their own.
    // (ThreadSanitizer keeps shadow memory for every mapping it has seen.)
    EXPECT_LT(after.addressSpace, before.addressSpace + 64);
#endif
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.files, before.files);
    std::sort(createAndClose.begin(), createAndClose.end());
    // A figure for the notes, not a pass mark: these machines are noisy.
    std::printf("create-and-close median %.3f ms, worst %.3f ms\n", createAndClose[50],
                createAndClose.back());
}

} // namespace
