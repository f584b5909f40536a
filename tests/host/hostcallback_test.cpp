// The test host's callback: routing by record, answers set by the test, and
// thread-safe recording of the requests a plug-in makes from several threads.
#include "host.h"
#include "hosterror.h"

#include <gtest/gtest.h>

#include <barrier>
#include <map>
#include <thread>
#include <vector>

namespace {

using hostcore::Host;
using hostcore::HostError;
using hostcore::HostFailure;

VstIntPtr call(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
               void* ptr = nullptr, float opt = 0.0f)
{
    return Host::callback(effect, opcode, index, value, ptr, opt);
}

TEST(HostRouting, NullRecordReachesTheHostBeingLoaded)
{
    Host host;
    host.setVersion(0);
    {
        Host::LoadingGuard guard(host);
        EXPECT_EQ(call(nullptr, audioMasterVersion), 0);
    }
    EXPECT_EQ(host.callCount(audioMasterVersion), 1u);
    EXPECT_EQ(host.nullRecordCallCount(audioMasterVersion), 1u);
}

TEST(HostRouting, UnattachedRecordDuringLoadingReachesTheLoadingHost)
{
    Host host;
    AEffect constructing{};
    Host::LoadingGuard guard(host);
    EXPECT_EQ(call(&constructing, audioMasterVersion), Host::kDefaultVersion);
    EXPECT_EQ(host.nullRecordCallCount(audioMasterVersion), 0u);
    EXPECT_EQ(host.callCount(audioMasterVersion), 1u);
}

TEST(HostRouting, CallsWithNoKnownHostAnswerZero)
{
    EXPECT_EQ(call(nullptr, audioMasterVersion), 0);
    AEffect stray{};
    EXPECT_EQ(call(&stray, audioMasterGetSampleRate), 0);
}

TEST(HostRouting, NestedGuardsRestoreTheOuterHost)
{
    Host outer;
    Host inner;
    Host::LoadingGuard outerGuard(outer);
    {
        Host::LoadingGuard innerGuard(inner);
        call(nullptr, audioMasterIdle);
    }
    call(nullptr, audioMasterIdle);
    EXPECT_EQ(inner.callCount(audioMasterIdle), 1u);
    EXPECT_EQ(outer.callCount(audioMasterIdle), 1u);
}

TEST(HostRouting, AttachedRecordsReachTheirOwnHost)
{
    Host first;
    Host second;
    AEffect a{};
    AEffect b{};
    first.attach(a);
    second.attach(b);
    second.setBlockSize(64);
    first.setBlockSize(2048);
    Host::LoadingGuard guard(second); // must not capture calls from attached records
    EXPECT_EQ(call(&a, audioMasterGetBlockSize), 2048);
    EXPECT_EQ(call(&b, audioMasterGetBlockSize), 64);
    EXPECT_EQ(first.callCount(audioMasterGetBlockSize), 1u);
    EXPECT_EQ(second.callCount(audioMasterGetBlockSize), 1u);
}

class HostAnswers : public ::testing::Test {
protected:
    HostAnswers() { host.attach(effect); }
    Host host;
    AEffect effect{};
};

TEST_F(HostAnswers, VersionIs2400UnlessSet)
{
    EXPECT_EQ(call(&effect, audioMasterVersion), 2400);
    host.setVersion(2300);
    EXPECT_EQ(call(&effect, audioMasterVersion), 2300);
}

TEST_F(HostAnswers, SessionValuesAnswerRateAndBlockSize)
{
    EXPECT_EQ(call(&effect, audioMasterGetSampleRate), 44100);
    EXPECT_EQ(call(&effect, audioMasterGetBlockSize), 1024);
    host.setSampleRate(96000.0);
    host.setBlockSize(64);
    EXPECT_EQ(call(&effect, audioMasterGetSampleRate), 96000);
    EXPECT_EQ(call(&effect, audioMasterGetBlockSize), 64);
    EXPECT_EQ(host.transport().sampleRate(), 96000.0);
}

TEST_F(HostAnswers, CanDoAnswersWhatTheTestSet)
{
    char sizeWindow[] = "sizeWindow";
    char other[] = "openFileSelector";
    EXPECT_EQ(call(&effect, audioMasterCanDo, 0, 0, sizeWindow), 0);
    host.setCanDo("sizeWindow", 1);
    host.setCanDo("openFileSelector", -1);
    EXPECT_EQ(call(&effect, audioMasterCanDo, 0, 0, sizeWindow), 1);
    EXPECT_EQ(call(&effect, audioMasterCanDo, 0, 0, other), -1);
    char unknown[] = "shellCategory";
    host.setCanDoDefault(-1);
    EXPECT_EQ(call(&effect, audioMasterCanDo, 0, 0, unknown), -1);
    EXPECT_EQ(call(&effect, audioMasterCanDo, 0, 0, nullptr), -1);
}

TEST_F(HostAnswers, OtherOpcodesAnswerZeroUntilScripted)
{
    for (VstInt32 opcode : {audioMasterCurrentId, audioMasterIdle, audioMasterGetVendorVersion,
                            audioMasterGetCurrentProcessLevel, audioMasterBeginEdit})
        EXPECT_EQ(call(&effect, opcode), 0) << "opcode " << opcode;
    host.setAnswer(audioMasterCurrentId, 0x6C6F6F70);
    EXPECT_EQ(call(&effect, audioMasterCurrentId), 0x6C6F6F70);
    EXPECT_EQ(call(&effect, 999), 0);
    EXPECT_EQ(call(&effect, -3), 0);
}

TEST_F(HostAnswers, AnswerOutsideTheOpcodeRangeIsRefused)
{
    try {
        host.setAnswer(-1, 5);
        FAIL() << "no error";
    } catch (const HostError& error) {
        EXPECT_EQ(error.failure(), HostFailure::BadArgument);
    }
    EXPECT_THROW(host.setAnswer(64, 5), HostError);
}

TEST_F(HostAnswers, DisplayAndWindowRequestsAnswerYes)
{
    EXPECT_EQ(call(&effect, audioMasterUpdateDisplay), 1);
    EXPECT_EQ(call(&effect, audioMasterSizeWindow, 260, 517), 1);
    host.setAnswer(audioMasterSizeWindow, 0);
    EXPECT_EQ(call(&effect, audioMasterSizeWindow, 260, 517), 0);
}

TEST_F(HostAnswers, RequestsAreRecordedWithArgumentsAndThread)
{
    call(&effect, audioMasterAutomate, 7, 0, nullptr, 0.25f);
    call(&effect, audioMasterSizeWindow, 260, 517);
    call(&effect, audioMasterUpdateDisplay);
    call(&effect, audioMasterIdle);

    const auto automations = host.automations();
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].effect, &effect);
    EXPECT_EQ(automations[0].index, 7);
    EXPECT_EQ(automations[0].opt, 0.25f);
    EXPECT_EQ(automations[0].thread, std::this_thread::get_id());

    const auto sizes = host.sizeRequests();
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].index, 260);
    EXPECT_EQ(sizes[0].value, 517);

    EXPECT_EQ(host.displayUpdates().size(), 1u);
    EXPECT_TRUE(host.requests(audioMasterIdle).empty()) << "other opcodes are only counted";
    EXPECT_EQ(host.callCount(audioMasterIdle), 1u);
    EXPECT_EQ(host.callCount(audioMasterAutomate), 1u);
}

TEST_F(HostAnswers, ClearRecordsForgetsRequestsAndCounts)
{
    call(&effect, audioMasterAutomate, 1, 0, nullptr, 1.0f);
    call(&effect, audioMasterIdle);
    host.clearRecords();
    EXPECT_TRUE(host.automations().empty());
    EXPECT_EQ(host.callCount(audioMasterAutomate), 0u);
    EXPECT_EQ(host.callCount(audioMasterIdle), 0u);
}

TEST_F(HostAnswers, ConcurrentCallersAreAllRecorded)
{
    constexpr int kThreads = 4;
    constexpr int kCalls = 2000;
    std::barrier start(kThreads);
    std::vector<std::thread> threads;
    std::vector<std::thread::id> ids(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            ids[t] = std::this_thread::get_id();
            start.arrive_and_wait();
            for (int i = 0; i < kCalls; ++i) {
                call(&effect, audioMasterAutomate, t, 0, nullptr, static_cast<float>(i));
                call(&effect, audioMasterUpdateDisplay);
                call(&effect, audioMasterIdle);
            }
        });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(host.callCount(audioMasterIdle), std::uint64_t{kThreads * kCalls});
    EXPECT_EQ(host.displayUpdates().size(), std::size_t{kThreads * kCalls});
    const auto automations = host.automations();
    ASSERT_EQ(automations.size(), std::size_t{kThreads * kCalls});
    std::map<VstInt32, int> next; // each thread's values arrive in its own order
    for (const auto& request : automations) {
        ASSERT_GE(request.index, 0);
        ASSERT_LT(request.index, kThreads);
        EXPECT_EQ(request.thread, ids[request.index]);
        EXPECT_EQ(request.opt, static_cast<float>(next[request.index]++));
    }
}

} // namespace
