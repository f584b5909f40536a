#include "channelfiles.h"

#include "channel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int testInstanceNumber()
{
    return 900000 + int(getpid());
}

ChannelFiles::ChannelFiles(int instanceNumber)
    : instance(instanceNumber), uiFifo(channel::uiFifoPath(instanceNumber)),
      pluginFifo(channel::pluginFifoPath(instanceNumber)),
      sharedName(sharedBlockName(instanceNumber))
{
    // Left over from a test process that died with the same number.
    unlink(uiFifo.c_str());
    unlink(pluginFifo.c_str());
    shm_unlink(sharedName.c_str());
}

ChannelFiles::~ChannelFiles()
{
    if (mapping) munmap(mapping, sharedBlockSize);
    for (const int fd : {uiFd, pluginFd, engineLockFd})
        if (fd >= 0) close(fd);
    unlink(uiFifo.c_str());
    unlink(pluginFifo.c_str());
    shm_unlink(sharedName.c_str());
    if (!scratchDirectory.empty()) std::filesystem::remove_all(scratchDirectory);
}

void ChannelFiles::makeFifo(const std::string& path, mode_t mode)
{
    ASSERT_EQ(mkfifo(path.c_str(), mode), 0) << path;
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path; // past the umask
}

void ChannelFiles::makeFifos(mode_t mode)
{
    makeFifo(uiFifo, mode);
    makeFifo(pluginFifo, mode);
}

void ChannelFiles::makeSharedBlock(mode_t mode, size_t size)
{
    const int fd = shm_open(sharedName.c_str(), O_CREAT | O_EXCL | O_RDWR, mode);
    ASSERT_GE(fd, 0) << sharedName;
    ASSERT_EQ(fchmod(fd, mode), 0);
    ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
    if (size >= sharedBlockSize) {
        void* address = mmap(nullptr, sharedBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ASSERT_NE(address, MAP_FAILED);
        mapping = static_cast<SharedBlock*>(address);
    }
    // A live engine holds this lock for its life; the UI takes a free lock as a
    // sign that its host is gone.
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    engineLockFd = fd;
}

void ChannelFiles::releaseEngineLock()
{
    if (engineLockFd >= 0) close(engineLockFd);
    engineLockFd = -1;
}

void ChannelFiles::openEnds()
{
    uiFd = open(uiFifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    pluginFd = open(pluginFifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(uiFd, 0);
    ASSERT_GE(pluginFd, 0);
}

void ChannelFiles::writePlugin(const Bytes& bytes) const
{
    ASSERT_EQ(write(pluginFd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

size_t ChannelFiles::pluginBytesWaiting() const
{
    int count = 0;
    EXPECT_EQ(ioctl(pluginFd, FIONREAD, &count), 0);
    return size_t(count);
}

Bytes ChannelFiles::readUi() const
{
    Bytes bytes(4096);
    const ssize_t count = read(uiFd, bytes.data(), bytes.size());
    bytes.resize(count > 0 ? size_t(count) : 0);
    return bytes;
}

std::string ChannelFiles::scratchPath(const std::string& name)
{
    if (scratchDirectory.empty()) {
        std::string pattern = std::filesystem::temp_directory_path() / "pl3uitest.XXXXXX";
        if (mkdtemp(pattern.data())) scratchDirectory = pattern;
    }
    return scratchDirectory + "/" + name;
}

Bytes parameterBytes(int32_t index, float value)
{
    const auto record = channel::encodeParameter(index, value);
    return {record.begin(), record.end()};
}

Bytes openBytes(unsigned long windowId)
{
    std::array<uint8_t, channel::kMaxOpenSize> record{};
    const size_t size = channel::encodeOpen(std::to_string(windowId), record);
    return {record.begin(), record.begin() + long(size)};
}

Bytes terminateBytes()
{
    const auto record = channel::encodeTerminate();
    return {record.begin(), record.end()};
}

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes bytes;
    for (const Bytes& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}
