// The real-time parts in the test process: the frame ring between two threads, the block
// clock's deadlines, and the audio thread driving the real plug-in without allocating.
#include "audiothread.h"
#include "blockclock.h"
#include "framering.h"
#include "loadedplugin.h"
#include "playprogram.h"
#include "song.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <thread>

namespace {
// Counts what threads other than the test's main thread allocate while the flag is up: with no
// editor open, that is the audio thread alone.
std::atomic<bool> countingAllocations{false};
std::atomic<std::size_t> allocationsCounted{0};
pthread_t mainThread = pthread_self();
} // namespace

// The sanitizers bring allocators of their own; the count is taken in the other builds.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size)
{
    if (countingAllocations.load() && !pthread_equal(pthread_self(), mainThread))
        allocationsCounted.fetch_add(1);
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept
{
    std::free(memory);
}
constexpr bool kCountsAllocations = true;
#else
constexpr bool kCountsAllocations = false;
#endif

namespace {

using namespace std::chrono_literals;
using pl3play::AudioThread;
using pl3play::BlockClock;
using pl3play::FrameRing;

std::vector<float> frames(std::size_t count, float first)
{
    std::vector<float> interleaved(count * 2);
    for (std::size_t i = 0; i < interleaved.size(); ++i)
        interleaved[i] = first + static_cast<float>(i);
    return interleaved;
}

TEST(FrameRing, HoldsAPowerOfTwoAndTakesAllOrNothing)
{
    FrameRing ring(2, 100);
    EXPECT_EQ(ring.capacity(), 128u);
    EXPECT_TRUE(ring.push(frames(100, 0).data(), 100));
    EXPECT_FALSE(ring.push(frames(29, 0).data(), 29));
    EXPECT_TRUE(ring.push(frames(28, 200).data(), 28));
    std::vector<float> out(128 * 2);
    EXPECT_EQ(ring.pop(out.data(), 1000), 128u);
    EXPECT_EQ(out[199], 199.0f);
    EXPECT_EQ(out[200], 200.0f);
    EXPECT_EQ(out[255], 255.0f);
    EXPECT_EQ(ring.pop(out.data(), 1000), 0u);
}

TEST(FrameRing, WrapsAroundTheEndOfItsStorage)
{
    FrameRing ring(2, 8);
    std::vector<float> out(16);
    ASSERT_TRUE(ring.push(frames(6, 0).data(), 6));
    ASSERT_EQ(ring.pop(out.data(), 6), 6u);
    ASSERT_TRUE(ring.push(frames(7, 100).data(), 7)); // frames 6, 7, then 0 to 4 of the storage
    ASSERT_EQ(ring.pop(out.data(), 8), 7u);
    for (std::size_t i = 0; i < 14; ++i)
        EXPECT_EQ(out[i], 100.0f + static_cast<float>(i)) << i;
}

// A producer and a consumer started together: every frame arrives once, in order, whatever
// the interleaving.
TEST(FrameRing, ProducerAndConsumerThreadsLoseNothing)
{
    constexpr std::size_t kTotal = 200000;
    constexpr std::size_t kBlock = 37;
    FrameRing ring(2, 256);
    std::barrier start(2);
    std::thread producer([&] {
        start.arrive_and_wait();
        std::vector<float> block(kBlock * 2);
        for (std::size_t sent = 0; sent < kTotal; sent += kBlock) {
            for (std::size_t i = 0; i < block.size(); ++i)
                block[i] = static_cast<float>(sent * 2 + i);
            while (!ring.push(block.data(), kBlock))
                std::this_thread::yield();
        }
    });
    start.arrive_and_wait();
    std::vector<float> chunk(100 * 2);
    std::size_t received = 0;
    bool inOrder = true;
    const std::size_t expected = (kTotal + kBlock - 1) / kBlock * kBlock;
    while (received < expected) {
        const std::size_t got = ring.pop(chunk.data(), 100);
        for (std::size_t i = 0; i < got * 2; ++i)
            inOrder = inOrder && chunk[i] == static_cast<float>(received * 2 + i);
        received += got;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(received, expected);
}

long long nanoseconds(const timespec& t)
{
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

TEST(BlockClock, DeadlinesAreExactMultiplesOfTheBlockAndDoNotOverflow)
{
    BlockClock clock(44100, 441);
    clock.start();
    const long long start = nanoseconds(clock.deadline(0));
    EXPECT_EQ(nanoseconds(clock.deadline(1)) - start, 10'000'000LL);
    EXPECT_EQ(nanoseconds(clock.deadline(100)) - start, 1'000'000'000LL);
    // Thirty days of blocks: frames × 10⁹ would be far past 64 bits.
    const long long days = 30LL * 24 * 3600 * 100;
    EXPECT_EQ(nanoseconds(clock.deadline(static_cast<std::uint64_t>(days))) - start,
              30LL * 24 * 3600 * 1'000'000'000LL);
    BlockClock odd(48000, 256); // 5.333... ms a block
    odd.start();
    EXPECT_EQ(nanoseconds(odd.deadline(3)) - nanoseconds(odd.deadline(0)), 16'000'000LL);
}

TEST(BlockClock, WaitsUntilTheDeadlineAndNoLongerWhenLate)
{
    BlockClock clock(1000, 50); // 50 ms a block
    clock.start();
    const auto before = std::chrono::steady_clock::now();
    clock.waitForEndOf(2);
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, 99ms);
    EXPECT_LT(waited, 150ms);
    const auto late = std::chrono::steady_clock::now();
    clock.waitForEndOf(1);
    EXPECT_LT(std::chrono::steady_clock::now() - late, 5ms);
}

// A device that takes every block at once and remembers it.
class RecordingSink : public pl3play::BlockSink {
public:
    explicit RecordingSink(bool keepsTime) : keepsTime_(keepsTime) { played.reserve(1 << 20); }
    bool keepsTime() const override { return keepsTime_; }
    void play(const float* interleaved, std::int32_t frames) override
    {
        played.insert(played.end(), interleaved, interleaved + 2 * frames);
    }
    std::uint64_t underruns() const override { return 0; }

    std::vector<float> played;

private:
    bool keepsTime_;
};

class AudioThreadTest : public ::testing::Test {
protected:
    static constexpr std::int32_t kBlock = 256;

    void SetUp() override
    {
        plugin = std::make_unique<hostcore::LoadedPlugin>(PL3_PLUGIN_PATH, host);
        host.transport().setTempo(120.0);
        plugin->startSession(44100.0, kBlock);
        host.transport().play();
        // 1000 distinct frames: the song wraps inside the fourth block.
        song.sampleRate = 44100;
        song.samples = hostcore::PlanarBuffer(2, 1000);
        for (std::size_t f = 0; f < 1000; ++f) {
            song.samples.at(0, f) = static_cast<float>(f + 1) / 1024.0f;
            song.samples.at(1, f) = -static_cast<float>(f + 1) / 2048.0f;
        }
    }

    // Whatever the ring holds, as interleaved frames.
    std::vector<float> drain(FrameRing& ring)
    {
        std::vector<float> all;
        std::vector<float> chunk(4096 * 2);
        while (const std::size_t got = ring.pop(chunk.data(), 4096))
            all.insert(all.end(), chunk.begin(), chunk.begin() + 2 * got);
        return all;
    }

    // The first frame that is not the looping song; the frame count if there is none.
    std::size_t firstFrameNotSong(const std::vector<float>& interleaved)
    {
        for (std::size_t f = 0; f < interleaved.size() / 2; ++f)
            if (interleaved[2 * f] != song.samples.at(0, f % 1000) ||
                interleaved[2 * f + 1] != song.samples.at(1, f % 1000))
                return f;
        return interleaved.size() / 2;
    }

    bool isLoopedSong(const std::vector<float>& interleaved)
    {
        return firstFrameNotSong(interleaved) == interleaved.size() / 2;
    }

    hostcore::Host host;
    std::unique_ptr<hostcore::LoadedPlugin> plugin;
    pl3play::Song song;
    std::atomic<std::int64_t> songFrame{-1};
};

TEST_F(AudioThreadTest, RendersTheLoopingSongInRealTimeWithoutAllocating)
{
    FrameRing ring(2, 1 << 14);
    AudioThread audio(*plugin, song, ring, nullptr, kBlock, 20, songFrame);
    allocationsCounted = 0;
    countingAllocations = true;
    const auto started = std::chrono::steady_clock::now();
    audio.start();
    ASSERT_TRUE(playtest::waitFor([&] { return audio.finished(); }, 5s));
    const auto took = std::chrono::steady_clock::now() - started;
    audio.stop();
    countingAllocations = false;

    const std::vector<float> out = drain(ring);
    EXPECT_EQ(out.size(), 2u * 20 * kBlock);
    EXPECT_TRUE(isLoopedSong(out));
    EXPECT_EQ(songFrame.load(), 19 * kBlock);
    EXPECT_EQ(audio.droppedFrames(), 0u);
    // 20 blocks of 256 frames are 116 ms of sound.
    EXPECT_GE(took, 116ms);
    if (kCountsAllocations) {
        EXPECT_EQ(allocationsCounted.load(), 0u);
    }
}

// Loop 4 ("1/4 beat", 5,512 frames at 120 BPM) held from the file's note at frame 100 plays
// from the beat before it, so the output leaves the song at its first wrap, within the
// crossfade there. The live notes (a key the plug-in does not map) are all taken.
TEST_F(AudioThreadTest, NotesFromTheFileAndThePortReachThePluginWithoutAllocating)
{
    constexpr std::int64_t kLoopFrames = 5512;
    constexpr std::int64_t kFadeFrames = 64;
    FrameRing ring(2, 1 << 15);
    pl3play::NoteRing live(64);
    pl3play::NoteFeed notes({{100, {pl3play::NotesFile::kNoteOn, 39, 100}}}, &live, 44100, kBlock);
    AudioThread audio(*plugin, song, ring, nullptr, kBlock, 40, songFrame, &notes);
    allocationsCounted = 0;
    countingAllocations = true;
    audio.start();
    for (int i = 0; i < 32; ++i) {
        ASSERT_TRUE(live.push({BlockClock::now(), {pl3play::NotesFile::kNoteOff, 20, 64}}));
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_TRUE(playtest::waitFor([&] { return audio.finished(); }, 5s));
    audio.stop();
    countingAllocations = false;

    pl3play::LiveNote left;
    EXPECT_FALSE(live.peek(left));
    const std::vector<float> out = drain(ring);
    ASSERT_EQ(out.size(), 2u * 40 * kBlock);
    const auto departure = static_cast<std::int64_t>(firstFrameNotSong(out));
    EXPECT_GE(departure, kLoopFrames);
    EXPECT_LT(departure, kLoopFrames + kFadeFrames);
    if (kCountsAllocations) {
        EXPECT_EQ(allocationsCounted.load(), 0u);
    }
}

TEST_F(AudioThreadTest, AFullRingCountsTheFramesItCouldNotTake)
{
    FrameRing ring(2, 4 * kBlock); // never drained: four blocks fit
    RecordingSink sink(true);
    AudioThread audio(*plugin, song, ring, &sink, kBlock, 10, songFrame);
    audio.start();
    ASSERT_TRUE(playtest::waitFor([&] { return audio.finished(); }, 5s));
    audio.stop();
    EXPECT_EQ(audio.droppedFrames(), 6u * kBlock);
    EXPECT_EQ(drain(ring).size(), 2u * 4 * kBlock);
    // The device still got every block.
    EXPECT_EQ(sink.played.size(), 2u * 10 * kBlock);
    EXPECT_TRUE(isLoopedSong(sink.played));
}

// A device that keeps time paces the thread itself; one that does not leaves it to the clock.
TEST_F(AudioThreadTest, ASinkThatKeepsTimeTakesOverThePacing)
{
    for (const bool keepsTime : {true, false}) {
        SCOPED_TRACE(keepsTime);
        FrameRing ring(2, 1 << 16);
        RecordingSink sink(keepsTime);
        AudioThread audio(*plugin, song, ring, &sink, kBlock, 100, songFrame); // 580 ms
        const auto started = std::chrono::steady_clock::now();
        audio.start();
        ASSERT_TRUE(playtest::waitFor([&] { return audio.finished(); }, 5s));
        const auto took = std::chrono::steady_clock::now() - started;
        audio.stop();
        if (keepsTime) {
            EXPECT_LT(took, 300ms);
        } else {
            EXPECT_GE(took, 580ms);
        }
        EXPECT_EQ(sink.played.size(), 2u * 100 * kBlock);
    }
}

TEST_F(AudioThreadTest, StopEndsAThreadWithoutALimit)
{
    FrameRing ring(2, 1 << 16);
    AudioThread audio(*plugin, song, ring, nullptr, kBlock, 0, songFrame);
    audio.start();
    ASSERT_TRUE(playtest::waitFor([&] { return songFrame.load() >= 4 * kBlock; }, 5s));
    audio.stop();
    EXPECT_FALSE(audio.finished());
    const std::vector<float> out = drain(ring);
    EXPECT_EQ(out.size() / 2, static_cast<std::size_t>(songFrame.load() + kBlock));
    EXPECT_TRUE(isLoopedSong(out));
}

} // namespace
