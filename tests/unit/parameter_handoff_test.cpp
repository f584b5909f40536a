// The hand-over of parameter changes to the editor's poll: the last value of
// each parameter wins, and none is lost to a drain racing with the posts. The
// race runs under the tsan preset too.
#include "parameterhandoff.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Sent = std::vector<std::pair<int32_t, float>>;

Sent drained(ParameterHandoff& handoff)
{
    Sent sent;
    handoff.drain([&](int32_t index, float value) {
        sent.emplace_back(index, value);
        return true;
    });
    return sent;
}

TEST(ParameterHandoff, EachChangedParameterOnceWithItsLastValue)
{
    ParameterHandoff handoff;
    handoff.post(7, 0.25f);
    handoff.post(3, 0.1f);
    handoff.post(7, 0.75f);
    handoff.post(23, 1.0f);
    EXPECT_EQ(drained(handoff), (Sent{{3, 0.1f}, {7, 0.75f}, {23, 1.0f}}));
    EXPECT_TRUE(drained(handoff).empty());
}

TEST(ParameterHandoff, IndicesOutsideTheParametersAreDropped)
{
    ParameterHandoff handoff;
    handoff.post(-1, 0.5f);
    handoff.post(ParameterHandoff::kParameters, 0.5f);
    EXPECT_TRUE(drained(handoff).empty());
}

TEST(ParameterHandoff, ARefusedSendKeepsItAndTheRestForTheNextDrain)
{
    ParameterHandoff handoff;
    for (int32_t index : {2, 5, 9})
        handoff.post(index, float(index) / 10.0f);
    Sent first;
    handoff.drain([&](int32_t index, float value) {
        if (index == 5) return false;
        first.emplace_back(index, value);
        return true;
    });
    EXPECT_EQ(first, (Sent{{2, 0.2f}}));
    handoff.post(9, 0.95f);
    EXPECT_EQ(drained(handoff), (Sent{{5, 0.5f}, {9, 0.95f}}));
}

TEST(ParameterHandoff, APostWhileADrainSendsIsSentByTheNext)
{
    ParameterHandoff handoff;
    handoff.post(3, 0.25f);
    Sent first;
    handoff.drain([&](int32_t index, float value) {
        first.emplace_back(index, value);
        handoff.post(3, 0.5f); // between the read of the old value and its write
        return true;
    });
    EXPECT_EQ(first, (Sent{{3, 0.25f}}));
    EXPECT_EQ(drained(handoff), (Sent{{3, 0.5f}}));
}

TEST(ParameterHandoff, DiscardForgetsWhatWaits)
{
    ParameterHandoff handoff;
    handoff.post(4, 0.5f);
    handoff.discard();
    EXPECT_TRUE(drained(handoff).empty());
    handoff.post(4, 0.6f);
    EXPECT_EQ(drained(handoff), (Sent{{4, 0.6f}}));
}

// As long as a short write: posts land in the middle of a drain's work.
void takeAWhile()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(1);
    while (std::chrono::steady_clock::now() < until) {
    }
}

// One thread posts rounds of rising values, each round two passes over every
// parameter, while another drains without pause; after each round the poster
// waits until a drain has caught up with it. A drain begun after a round was
// posted leaves every parameter at that round's last value: a post whose bit a
// drain took without its value would leave an earlier one. What the drains see
// never goes back.
TEST(ParameterHandoff, NothingIsLostToADrainRacingWithThePosts)
{
    constexpr int kRounds = 1000;
    constexpr int kPasses = 2;
    auto valueOf = [](int round, int pass) { return float(round * kPasses + pass); };
    ParameterHandoff handoff;
    std::array<float, ParameterHandoff::kParameters> seen{};
    bool wentBack = false;
    bool lost = false;
    std::atomic<int> posted{0};
    std::atomic<int> caughtUp{0};
    std::barrier start(2);
    std::thread poster([&] {
        start.arrive_and_wait();
        for (int round = 1; round <= kRounds; ++round) {
            for (int pass = 0; pass < kPasses; ++pass)
                for (int32_t index = 0; index < ParameterHandoff::kParameters; ++index) {
                    handoff.post(index, valueOf(round, pass));
                    takeAWhile();
                }
            posted.store(round);
            while (caughtUp.load() < round)
                std::this_thread::yield();
        }
    });
    start.arrive_and_wait();
    while (caughtUp.load() < kRounds) {
        const int round = posted.load();
        handoff.drain([&](int32_t index, float value) {
            wentBack = wentBack || value < seen[size_t(index)];
            seen[size_t(index)] = value;
            takeAWhile();
            return true;
        });
        for (float value : seen)
            lost = lost || (round > 0 && value < valueOf(round, kPasses - 1));
        caughtUp.store(round);
    }
    poster.join();

    EXPECT_FALSE(wentBack);
    EXPECT_FALSE(lost);
    for (float value : seen)
        EXPECT_EQ(value, valueOf(kRounds, kPasses - 1));
}

} // namespace
