#include "sharedmemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Instance numbers far above any real engine's, and distinct per test process, so that test runs
// in parallel neither meet each other nor a running plug-in.
int32_t testInstance(int32_t slot)
{
    return 900'000'000 + static_cast<int32_t>(getpid() % 10'000'000) * 10 + slot;
}

// A block mapped for one test; unmaps it and removes the object afterwards.
class MappedBlock {
public:
    explicit MappedBlock(int32_t instance)
        : name_(sharedBlockName(instance)), block_(createSharedBlock(instance))
    {
    }
    ~MappedBlock()
    {
        unmapSharedBlock(block_);
        shm_unlink(name_.c_str());
    }
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;

    SharedBlock* get() const { return block_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    SharedBlock* block_;
};

// Maps the object by name independently of the engine code, the way the UI process does.
unsigned char* mapByName(const std::string& name)
{
    const int fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) return nullptr;
    void* memory = mmap(nullptr, sharedBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return memory == MAP_FAILED ? nullptr : static_cast<unsigned char*>(memory);
}

const unsigned char* bytesOf(const SharedBlock& block)
{
    return reinterpret_cast<const unsigned char*>(&block);
}

float floatAt(const SharedBlock& block, std::size_t offset)
{
    float value;
    std::memcpy(&value, bytesOf(block) + offset, sizeof value);
    return value;
}

struct Point {
    float min;
    float max;
    bool operator==(const Point&) const = default;
};

std::vector<Point> tracePoints(const SharedBlock& block, int count)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i)
        points.push_back({block.scopeMinima[i], block.scopeMaxima[i]});
    return points;
}

// A stereo signal with both signs: a slow sine on the left, a sawtooth on the right.
struct Signal {
    std::vector<float> left;
    std::vector<float> right;
    explicit Signal(int frames) : left(frames), right(frames)
    {
        for (int f = 0; f < frames; ++f) {
            left[f] = 0.9f * std::sin(f * 0.0123f);
            right[f] = 0.4f * (static_cast<float>(f % 353) / 353.0f - 0.5f);
        }
    }
    int frames() const { return static_cast<int>(left.size()); }
};

// What the trace must hold, computed window by window from the signal: each complete window of
// 176 frames gives the extremes of (left + right) / 2, widened to include 0.
std::vector<Point> expectedPoints(const Signal& signal)
{
    std::vector<Point> points;
    for (int start = 0; start + 176 <= signal.frames(); start += 176) {
        Point point{0.0f, 0.0f};
        for (int f = start; f < start + 176; ++f) {
            const float m = (signal.left[f] + signal.right[f]) * 0.5f;
            point.min = std::min(point.min, m);
            point.max = std::max(point.max, m);
        }
        points.push_back(point);
    }
    return points;
}

// Feeds frames [first, first + frames) of the signal as one block.
void feed(ScopeFeed& scope, SharedBlock& block, const Signal& signal, int first, int frames)
{
    const float* outputs[2] = {signal.left.data() + first, signal.right.data() + first};
    scope.processOscilloscope(block, outputs, frames);
}

void feedConstant(ScopeFeed& scope, SharedBlock& block, float value, int frames)
{
    const std::vector<float> channel(frames, value);
    const float* outputs[2] = {channel.data(), channel.data()};
    scope.processOscilloscope(block, outputs, frames);
}

} // namespace

TEST(SharedBlockLayout, NamesCarryTheInstanceNumber)
{
    EXPECT_EQ(sharedBlockName(0), "/prvldata.mmap0");
    EXPECT_EQ(sharedBlockName(1), "/prvldata.mmap1");
    EXPECT_EQ(sharedBlockName(917), "/prvldata.mmap917");
}

TEST(SharedBlockCreate, NewObjectIsPrivateSizedAndZero)
{
    const int32_t instance = testInstance(0);
    shm_unlink(sharedBlockName(instance).c_str());
    MappedBlock mapped(instance);
    ASSERT_NE(mapped.get(), nullptr);

    const int fd = shm_open(mapped.name().c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat status {};
    ASSERT_EQ(fstat(fd, &status), 0);
    close(fd);
    EXPECT_EQ(status.st_size, static_cast<off_t>(sharedBlockSize));
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    const unsigned char* bytes = bytesOf(*mapped.get());
    EXPECT_TRUE(
        std::all_of(bytes, bytes + sharedBlockSize, [](unsigned char b) { return b == 0; }));
    EXPECT_EQ(mapped.get()->scopePointCount, 0);
}

TEST(SharedBlockCreate, ReopenedObjectIsCleared)
{
    const int32_t instance = testInstance(1);
    MappedBlock earlier(instance);
    ASSERT_NE(earlier.get(), nullptr);
    unsigned char* other = mapByName(earlier.name());
    ASSERT_NE(other, nullptr);
    std::memset(other, 0xAB, sharedBlockSize);
    munmap(other, sharedBlockSize);

    SharedBlock* again = createSharedBlock(instance);
    ASSERT_NE(again, nullptr);
    const unsigned char* bytes = bytesOf(*again);
    EXPECT_TRUE(
        std::all_of(bytes, bytes + sharedBlockSize, [](unsigned char b) { return b == 0; }));
    unmapSharedBlock(again);
}

TEST(SharedBlockCreate, WritesAreSeenThroughAnotherMapping)
{
    MappedBlock mapped(testInstance(2));
    ASSERT_NE(mapped.get(), nullptr);
    unsigned char* reader = mapByName(mapped.name());
    ASSERT_NE(reader, nullptr);

    writeSharedParameter(mapped.get(), 5, 0.25f, "1 beat");
    ScopeFeed scope;
    scope.addValues(*mapped.get(), -0.5f, 0.75f);

    float value;
    std::memcpy(&value, reader + 32 * 5, sizeof value);
    EXPECT_EQ(value, 0.25f);
    EXPECT_STREQ(reinterpret_cast<const char*>(reader + 32 * 5 + 16), "1 beat");
    std::memcpy(&value, reader + 768, sizeof value);
    EXPECT_EQ(value, -0.5f);
    std::memcpy(&value, reader + 1792, sizeof value);
    EXPECT_EQ(value, 0.75f);
    int32_t count;
    std::memcpy(&count, reader + 2816, sizeof count);
    EXPECT_EQ(count, 1);
    munmap(reader, sharedBlockSize);
}

TEST(SharedBlockCreate, FailureIsReportedAndLeavesNoBlock)
{
    // A directory where the object would be makes opening it fail.
    const int32_t instance = testInstance(3);
    const std::string path = "/dev/shm" + sharedBlockName(instance);
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    testing::internal::CaptureStdout();
    SharedBlock* block = createSharedBlock(instance);
    const std::string printed = testing::internal::GetCapturedStdout();
    rmdir(path.c_str());
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(printed, "PravoLindel3VST > failed to map plugin shared memory \n");
}

TEST(SharedParameter, WritesTheValueAndTheTextAtTheirOffsets)
{
    SharedBlock block{};
    writeSharedParameter(&block, 4, 0.0f, "1 bar");
    EXPECT_EQ(floatAt(block, 128), 0.0f);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytesOf(block) + 144), "1 bar");

    writeSharedParameter(&block, 20, 0.5f, nullptr);
    EXPECT_EQ(floatAt(block, 640), 0.5f);
    EXPECT_EQ(bytesOf(block)[656], 0);

    writeSharedParameter(&block, 23, 0.75f, nullptr);
    EXPECT_EQ(floatAt(block, 736), 0.75f);
}

TEST(SharedParameter, ANewTextReplacesTheWholeFieldAndStaysBounded)
{
    SharedBlock block{};
    writeSharedParameter(&block, 7, 1.0f, "1/32 beat");
    writeSharedParameter(&block, 7, 0.0f, "OFF");
    const unsigned char* field = bytesOf(block) + 32 * 7 + 16;
    EXPECT_STREQ(reinterpret_cast<const char*>(field), "OFF");
    EXPECT_TRUE(std::all_of(field + 3, field + 16, [](unsigned char b) { return b == 0; }));
    writeSharedParameter(&block, 7, 0.0f, "a text far longer than the field");
    EXPECT_EQ(field[15], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(field)), "a text far long");
    EXPECT_EQ(bytesOf(block)[32 * 8], 0); // the next entry is untouched
}

TEST(SharedParameter, IgnoresBadIndicesAndAMissingBlock)
{
    SharedBlock block{};
    const SharedBlock before = block;
    writeSharedParameter(&block, -1, 0.5f, "x");
    writeSharedParameter(&block, 24, 0.5f, "x");
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
    writeSharedParameter(nullptr, 3, 0.5f, "x");
}

TEST(ScopeFeed, StartsWithItsWindowAndNoPoints)
{
    const ScopeFeed scope;
    EXPECT_EQ(scope.scopeWindow, 176);
    EXPECT_EQ(scope.scopeFrameCount, 0);
    EXPECT_EQ(scope.scopePointCount, 0);
    EXPECT_EQ(scope.runningMinimum, 0.0f);
    EXPECT_EQ(scope.runningMaximum, 0.0f);
}

TEST(ScopeFeed, NoFramesDoNothing)
{
    SharedBlock block{};
    ScopeFeed scope;
    feedConstant(scope, block, 0.5f, 100);
    const SharedBlock blockBefore = block;
    const ScopeFeed scopeBefore = scope;
    scope.processOscilloscope(block, nullptr, 0);
    scope.processOscilloscope(block, nullptr, -5);
    EXPECT_EQ(std::memcmp(&block, &blockBefore, sizeof block), 0);
    EXPECT_EQ(scope.scopeFrameCount, scopeBefore.scopeFrameCount);
    EXPECT_EQ(scope.runningMaximum, scopeBefore.runningMaximum);
}

TEST(ScopeFeed, PointIsAppendedWhenTheFrameAfterAFullWindowArrives)
{
    SharedBlock block{};
    ScopeFeed scope;
    feedConstant(scope, block, 0.5f, 176);
    EXPECT_EQ(scope.scopePointCount, 0);
    EXPECT_EQ(block.scopePointCount, 0);
    feedConstant(scope, block, 0.5f, 1);
    EXPECT_EQ(scope.scopePointCount, 1);
    EXPECT_EQ(block.scopePointCount, 1);
    EXPECT_EQ(scope.scopeFrameCount, 1);
}

TEST(ScopeFeed, ConstantOutputGivesPointsReachingToZero)
{
    SharedBlock positive{};
    ScopeFeed up;
    feedConstant(up, positive, 0.5f, 176 * 3 + 1);
    EXPECT_EQ(tracePoints(positive, 3), std::vector<Point>(3, Point{0.0f, 0.5f}));

    SharedBlock negative{};
    ScopeFeed down;
    feedConstant(down, negative, -0.5f, 176 * 3 + 1);
    EXPECT_EQ(tracePoints(negative, 3), std::vector<Point>(3, Point{-0.5f, 0.0f}));
    EXPECT_EQ(negative.scopePointCount, 3);
}

TEST(ScopeFeed, FullTraceScrollsOldestOut)
{
    const Signal signal(176 * 300 + 1);
    const std::vector<Point> expected = expectedPoints(signal);
    ASSERT_EQ(expected.size(), 300u);

    SharedBlock block{};
    ScopeFeed scope;
    feed(scope, block, signal, 0, signal.frames());
    EXPECT_EQ(scope.scopePointCount, 256);
    EXPECT_EQ(block.scopePointCount, 256);
    // Points 0..43 are gone; entry 255 is point 299, the newest.
    EXPECT_EQ(tracePoints(block, 256), std::vector<Point>(expected.begin() + 44, expected.end()));
}

TEST(ScopeFeed, WindowsSpanBlocks)
{
    const Signal signal(176 * 40 + 1);
    SharedBlock whole{};
    ScopeFeed wholeScope;
    feed(wholeScope, whole, signal, 0, signal.frames());

    SharedBlock pieces{};
    ScopeFeed piecesScope;
    const int sizes[] = {1, 7, 100, 333, 64, 175, 2};
    int first = 0;
    for (int i = 0; first < signal.frames(); ++i) {
        const int frames = std::min(sizes[i % 7], signal.frames() - first);
        feed(piecesScope, pieces, signal, first, frames);
        first += frames;
    }
    const std::vector<Point> expected = expectedPoints(signal);
    EXPECT_EQ(tracePoints(pieces, 40), expected);
    EXPECT_EQ(std::memcmp(&pieces, &whole, sizeof pieces), 0);
}

TEST(ScopeFeed, TwoFeedsInterleavedKeepTheirOwnExtremes)
{
    SharedBlock blockA{};
    SharedBlock blockB{};
    ScopeFeed scopeA;
    ScopeFeed scopeB;
    for (int block = 0; block < 20; ++block) {
        feedConstant(scopeA, blockA, 0.5f, 50);
        feedConstant(scopeB, blockB, -0.5f, 50);
    }
    EXPECT_EQ(scopeA.scopePointCount, 5);
    EXPECT_EQ(tracePoints(blockA, 5), std::vector<Point>(5, Point{0.0f, 0.5f}));
    EXPECT_EQ(scopeB.scopePointCount, 5);
    EXPECT_EQ(tracePoints(blockB, 5), std::vector<Point>(5, Point{-0.5f, 0.0f}));
}

TEST(ScopeFeed, SharedCountIsWrittenButNeverReadBack)
{
    SharedBlock block{};
    ScopeFeed scope;
    for (int i = 0; i < 3; ++i)
        scope.addValues(block, -1.0f * i, 1.0f * i);
    block.scopePointCount = 200; // a reader scribbling over the count
    scope.addValues(block, -0.25f, 0.25f);
    EXPECT_EQ(block.scopeMinima[3], -0.25f);
    EXPECT_EQ(block.scopeMaxima[3], 0.25f);
    EXPECT_EQ(block.scopeMinima[200], 0.0f);
    EXPECT_EQ(block.scopePointCount, 4);
}

TEST(ScopeFeed, AppendToAFullTraceDropsEntryZero)
{
    SharedBlock block{};
    ScopeFeed scope;
    for (int i = 0; i < 256; ++i)
        scope.addValues(block, -static_cast<float>(i), static_cast<float>(i));
    EXPECT_EQ(block.scopePointCount, 256);
    scope.addValues(block, -1000.0f, 1000.0f);
    EXPECT_EQ(block.scopePointCount, 256);
    EXPECT_EQ(block.scopeMinima[0], -1.0f);
    EXPECT_EQ(block.scopeMaxima[0], 1.0f);
    EXPECT_EQ(block.scopeMinima[254], -255.0f);
    EXPECT_EQ(block.scopeMaxima[254], 255.0f);
    EXPECT_EQ(block.scopeMinima[255], -1000.0f);
    EXPECT_EQ(block.scopeMaxima[255], 1000.0f);
}
