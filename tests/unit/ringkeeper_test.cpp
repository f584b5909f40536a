// The ring keeper populates the ring's pages ahead of the write position, and
// only there; it leaves what the ring holds alone and ends after one lap.
#include "ringkeeper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int32_t kFrames = 1 << 20; // 4 MiB a channel
const size_t kPage = size_t(sysconf(_SC_PAGESIZE));

class Ring {
public:
    Ring()
        : memory(static_cast<float*>(mmap(nullptr, 2 * bytes(), PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)))
    {
        // Page by page, as the kernel hands out a ring that is not made of huge pages.
        madvise(memory, 2 * bytes(), MADV_NOHUGEPAGE);
    }
    ~Ring() { munmap(memory, 2 * bytes()); }
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;

    float* left() const { return memory; }
    float* right() const { return memory + kFrames; }

    // Whether the page holding this frame of the channel is present.
    static bool resident(const float* channel, int32_t frame)
    {
        const auto address = reinterpret_cast<std::uintptr_t>(channel + frame) & ~(kPage - 1);
        unsigned char present = 0;
        mincore(reinterpret_cast<void*>(address), kPage, &present);
        return (present & 1) != 0;
    }

private:
    static size_t bytes() { return size_t(kFrames) * sizeof(float); }
    float* memory;
};

bool waitFor(const RingKeeper& keeper, int32_t frames)
{
    for (auto waited = 0ms; waited < 5s; waited += 5ms) {
        if (keeper.populatedFrames() >= frames) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

size_t threadCount()
{
    size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            if (entry->d_name[0] != '.') ++count;
        closedir(tasks);
    }
    return count;
}

TEST(RingKeeper, PopulatesBothChannelsAheadOfTheWritePositionAndNoFurther)
{
    Ring ring;
    Relaxed<int32_t> writePosition{0};
    RingKeeper keeper(ring.left(), ring.right(), kFrames, writePosition);
    ASSERT_TRUE(waitFor(keeper, RingKeeper::kLeadFrames));
    for (const float* channel : {ring.left(), ring.right()}) {
        EXPECT_TRUE(Ring::resident(channel, 0));
        EXPECT_TRUE(Ring::resident(channel, RingKeeper::kLeadFrames - 1));
        EXPECT_FALSE(Ring::resident(channel, 2 * RingKeeper::kLeadFrames));
    }

    writePosition = 300000;
    ASSERT_TRUE(waitFor(keeper, 300000 + RingKeeper::kLeadFrames));
    for (const float* channel : {ring.left(), ring.right()}) {
        EXPECT_TRUE(Ring::resident(channel, 300000 + RingKeeper::kLeadFrames - 1));
        EXPECT_FALSE(Ring::resident(channel, 300000 + 2 * RingKeeper::kLeadFrames));
    }
}

TEST(RingKeeper, LeavesWhatTheRingHoldsAlone)
{
    Ring ring;
    ring.left()[1000] = 0.25f;
    ring.right()[RingKeeper::kLeadFrames / 2] = -0.5f;
    Relaxed<int32_t> writePosition{0};
    RingKeeper keeper(ring.left(), ring.right(), kFrames, writePosition);
    ASSERT_TRUE(waitFor(keeper, RingKeeper::kLeadFrames));
    EXPECT_EQ(ring.left()[1000], 0.25f);
    EXPECT_EQ(ring.right()[RingKeeper::kLeadFrames / 2], -0.5f);
    EXPECT_EQ(ring.left()[RingKeeper::kLeadFrames - 1], 0.0f);
}

TEST(RingKeeper, ItsThreadEndsOnceTheWholeRingIsPopulated)
{
    // A sanitizer's runtime starts a thread of its own along with the process's first.
    std::thread([] {}).join();
    const size_t before = threadCount();
    Ring ring;
    Relaxed<int32_t> writePosition{kFrames - 1};
    RingKeeper keeper(ring.left(), ring.right(), kFrames, writePosition);
    ASSERT_TRUE(waitFor(keeper, kFrames));
    EXPECT_TRUE(Ring::resident(ring.right(), kFrames - 1));
    bool ended = false;
    for (auto waited = 0ms; !ended && waited < 5s; waited += 5ms) {
        ended = threadCount() == before;
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(ended);
}

} // namespace
