// The plug-in's side of one channel instance, made by a test: FIFOs and the shared block
// under the fixed names of an instance number no real plug-in uses, removed afterwards.
#pragma once

#include "sharedblock.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

using Bytes = std::vector<uint8_t>;

// An instance number of this test process only: far above what a host ever reaches.
int testInstanceNumber();

class ChannelFiles {
public:
    explicit ChannelFiles(int instanceNumber);
    ~ChannelFiles();
    ChannelFiles(const ChannelFiles&) = delete;
    ChannelFiles& operator=(const ChannelFiles&) = delete;

    const int instance;
    const std::string uiFifo;
    const std::string pluginFifo;
    const std::string sharedName;

    // Creates both FIFOs, as the plug-in does, with exactly this mode.
    void makeFifos(mode_t mode = 0600);
    static void makeFifo(const std::string& path, mode_t mode);
    // Creates, sizes and maps the shared block with exactly this mode, and holds
    // its lock as a live engine does.
    void makeSharedBlock(mode_t mode = 0600, size_t size = sharedBlockSize);
    // The engine's end: its lock is free from now on.
    void releaseEngineLock();
    // The test's own mapping of the block made above.
    SharedBlock* block() const { return mapping; }

    // The plug-in's ends, opened read-write and non-blocking like the plug-in does; they keep
    // written records in the pipe until the UI reads them.
    void openEnds();
    void writePlugin(const Bytes& bytes) const;
    // Bytes written into the plugin FIFO that the UI has not read yet.
    size_t pluginBytesWaiting() const;
    // One non-blocking read of the UI FIFO; empty when nothing is waiting.
    Bytes readUi() const;

    // A path inside a private directory of this test, removed with it.
    std::string scratchPath(const std::string& name);

private:
    int uiFd = -1;
    int pluginFd = -1;
    SharedBlock* mapping = nullptr;
    int engineLockFd = -1;
    std::string scratchDirectory;
};

Bytes parameterBytes(int32_t index, float value);
Bytes openBytes(unsigned long windowId);
Bytes terminateBytes();
Bytes join(std::initializer_list<Bytes> parts);
