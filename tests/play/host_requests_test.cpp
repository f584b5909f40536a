// What the play tool adds to the test host: requests handed over once each, stamped with the
// song position as they arrive, from any thread.
#include "host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>

namespace {

class HostRequests : public ::testing::Test {
protected:
    void SetUp() override { host.attach(effect); }

    void automate(VstInt32 index, float value)
    {
        hostcore::Host::callback(&effect, audioMasterAutomate, index, 0, nullptr, value);
    }

    hostcore::Host host;
    AEffect effect{};
};

TEST_F(HostRequests, TakeHandsOverEachRequestOnceInArrivalOrder)
{
    automate(3, 0.25f);
    hostcore::Host::callback(&effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
    automate(7, 1.0f);
    const auto taken = host.takeRequests();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].opcode, audioMasterAutomate);
    EXPECT_EQ(taken[0].index, 3);
    EXPECT_EQ(taken[0].opt, 0.25f);
    EXPECT_EQ(taken[1].opcode, audioMasterUpdateDisplay);
    EXPECT_EQ(taken[2].index, 7);
    EXPECT_TRUE(host.takeRequests().empty());
    EXPECT_TRUE(host.automations().empty());
    // The counts stay.
    EXPECT_EQ(host.callCount(audioMasterAutomate), 2u);
    automate(9, 0.5f);
    ASSERT_EQ(host.takeRequests().size(), 1u);
}

TEST_F(HostRequests, TheClockStampsEachRequestWithItsValueOnArrival)
{
    automate(0, 0.0f);
    std::atomic<std::int64_t> clock{512};
    host.setRequestClock(&clock);
    automate(1, 0.0f);
    clock.store(1024);
    automate(2, 0.0f);
    host.setRequestClock(nullptr);
    clock.store(2048);
    automate(3, 0.0f);
    const auto taken = host.takeRequests();
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[0].stamp, 0);
    EXPECT_EQ(taken[1].stamp, 512);
    EXPECT_EQ(taken[2].stamp, 1024);
    EXPECT_EQ(taken[3].stamp, 0);
}

// A plug-in's poll thread records while the host's main loop takes: nothing is lost or doubled.
TEST_F(HostRequests, TakingWhileAnotherThreadRecordsLosesNothing)
{
    constexpr int kRequests = 20000;
    std::barrier start(2);
    std::thread recorder([&] {
        start.arrive_and_wait();
        for (int i = 0; i < kRequests; ++i)
            automate(i, 0.0f);
    });
    start.arrive_and_wait();
    std::vector<int> seen;
    while (seen.size() < static_cast<std::size_t>(kRequests))
        for (const auto& request : host.takeRequests())
            seen.push_back(request.index);
    recorder.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kRequests));
    for (int i = 0; i < kRequests; ++i)
        ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
}

} // namespace
