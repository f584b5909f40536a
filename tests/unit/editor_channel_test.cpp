// The plug-in's end of the channel on its own: record bytes, the reader's walk,
// the private-file checks and the poll timer.
#include "channel.h"
#include "privatefile.h"
#include "timer.h"
#include "uimessagereader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Recorder : uimessages::Handler {
    std::vector<std::pair<int32_t, float>> applied;
    std::vector<uint8_t> unhandledOpcodes;
    void parameter(int32_t index, float value) override { applied.emplace_back(index, value); }
    void unhandled(uint8_t opcode) override { unhandledOpcodes.push_back(opcode); }
};

std::vector<uint8_t> bytesOf(std::initializer_list<std::vector<uint8_t>> pieces)
{
    std::vector<uint8_t> all;
    for (const auto& piece : pieces)
        all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

std::vector<uint8_t> parameterRecord(int32_t index, float value)
{
    const auto record = channel::encodeParameter(index, value);
    return {record.begin(), record.end()};
}

Recorder walked(const std::vector<uint8_t>& bytes)
{
    Recorder recorder;
    uimessages::walk(bytes.data(), bytes.size(), recorder);
    return recorder;
}

TEST(ChannelRecords, ParameterAndTerminateBytes)
{
    EXPECT_EQ(parameterRecord(5, 0.5f),
              (std::vector<uint8_t>{0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F}));
    const auto terminate = channel::encodeTerminate();
    EXPECT_EQ(std::vector<uint8_t>(terminate.begin(), terminate.end()),
              (std::vector<uint8_t>{0x07, 0x00}));
}

TEST(ChannelRecords, OpenMessageForAWindowId)
{
    std::array<uint8_t, channel::kMaxOpenSize> record{};
    ASSERT_EQ(channel::encodeOpen("60817415", record), 14u);
    const std::vector<uint8_t> expected = {0x06, 0x08, 0x00, 0x00, 0x00, '6', '0',
                                           '8',  '1',  '7',  '4',  '1',  '5', 0x00};
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 14), expected);
    EXPECT_EQ(channel::encodeOpen(std::string(21, '1'), record), 0u);
}

TEST(ChannelRecords, NamesCarryTheInstanceNumber)
{
    EXPECT_EQ(channel::uiFifoPath(0), "/tmp/pravolindel3ui0.fifo");
    EXPECT_EQ(channel::pluginFifoPath(1), "/tmp/pravolindel3plugin1.fifo");
    EXPECT_EQ(channel::uiExecutablePath(12), "/tmp/PravoLindel3UI12");
}

TEST(UiFifoReader, ThreeRecordsApplyInOrder)
{
    const auto r = walked(bytesOf({parameterRecord(1, 0.25f), parameterRecord(7, 1.0f),
                                   parameterRecord(23, 0.0f)}));
    ASSERT_EQ(r.applied.size(), 3u);
    EXPECT_EQ(r.applied[0], std::make_pair(int32_t(1), 0.25f));
    EXPECT_EQ(r.applied[1], std::make_pair(int32_t(7), 1.0f));
    EXPECT_EQ(r.applied[2], std::make_pair(int32_t(23), 0.0f));
    EXPECT_TRUE(r.unhandledOpcodes.empty());
}

TEST(UiFifoReader, LeadingZeroAppliesNothing)
{
    const auto r = walked(bytesOf({{0x00}, parameterRecord(1, 0.25f)}));
    EXPECT_TRUE(r.applied.empty());
    EXPECT_EQ(r.unhandledOpcodes, std::vector<uint8_t>{0x00});
}

TEST(UiFifoReader, SingleByteOpcodesAreSkipped)
{
    for (uint8_t skipped : {2, 3, 4, 10, 11, 12, 16, 17}) {
        const auto r = walked(bytesOf({parameterRecord(3, 0.5f), {skipped},
                                       parameterRecord(4, 0.75f)}));
        EXPECT_EQ(r.applied.size(), 2u) << int(skipped);
        EXPECT_TRUE(r.unhandledOpcodes.empty()) << int(skipped);
    }
}

TEST(UiFifoReader, OtherOpcodesEndTheWalk)
{
    for (uint8_t opcode : {5, 6, 7, 8, 9, 13, 14, 15, 18, 0x80, 0xFF}) {
        const auto r = walked(bytesOf({parameterRecord(3, 0.5f), {opcode},
                                       parameterRecord(4, 0.75f)}));
        EXPECT_EQ(r.applied.size(), 1u) << int(opcode);
        EXPECT_EQ(r.unhandledOpcodes, std::vector<uint8_t>{opcode});
    }
}

TEST(UiFifoReader, ARecordCutOffByTheEndOfTheReadEndsTheWalk)
{
    auto bytes = bytesOf({parameterRecord(3, 0.5f), parameterRecord(4, 0.75f)});
    for (size_t cut = 1; cut < channel::kParameterSize; ++cut) {
        const std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - long(cut));
        const auto r = walked(shorter);
        EXPECT_EQ(r.applied.size(), 1u) << cut;
        EXPECT_EQ(r.unhandledOpcodes, std::vector<uint8_t>{channel::kParameter}) << cut;
    }
    EXPECT_TRUE(walked({}).applied.empty());
}

TEST(PrivateFile, OnlyThisUsersPrivateFifoIsOpened)
{
    const std::string dir = "/tmp/pl3-privatefile-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string good = dir + "/good.fifo";
    const std::string open = dir + "/open.fifo";
    const std::string plain = dir + "/plain";
    const std::string link = dir + "/link.fifo";
    ASSERT_EQ(mkfifo(good.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(open.c_str(), 0600), 0);
    ASSERT_EQ(chmod(open.c_str(), 0644), 0);
    ASSERT_EQ(close(::open(plain.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(symlink(good.c_str(), link.c_str()), 0);

    const auto opened = privatefile::openFifo(good);
    EXPECT_GE(opened.fd, 0);
    EXPECT_EQ(opened.check, privatefile::Check::Ok);
    EXPECT_NE(fcntl(opened.fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(opened.fd, F_GETFD) & FD_CLOEXEC, 0);
    close(opened.fd);
    EXPECT_EQ(privatefile::openFifo(open).check, privatefile::Check::OpenToOthers);
    EXPECT_EQ(privatefile::openFifo(plain).check, privatefile::Check::WrongType);
    EXPECT_EQ(privatefile::openFifo(link).check, privatefile::Check::Link);
    EXPECT_EQ(privatefile::openFifo(dir + "/missing").check, privatefile::Check::Missing);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(good.c_str(), 65534, 65534), 0);
        EXPECT_EQ(privatefile::openFifo(good).check, privatefile::Check::ForeignOwner);
    }
    for (const auto& path : {good, open, plain, link})
        unlink(path.c_str());
    rmdir(dir.c_str());
}

TEST(PollTimer, PeriodsOfStart)
{
    EXPECT_EQ(Timer::periodOf(10).tv_sec, 0);
    EXPECT_EQ(Timer::periodOf(10).tv_nsec, 10000000L);
    EXPECT_EQ(Timer::periodOf(2500).tv_sec, 2);
    EXPECT_EQ(Timer::periodOf(2500).tv_nsec, 500000000L);
    EXPECT_EQ(Timer::periodOf(1000).tv_sec, 1);
    EXPECT_EQ(Timer::periodOf(1000).tv_nsec, 0);
    EXPECT_EQ(Timer::periodOf(0).tv_sec, 0);
    EXPECT_EQ(Timer::periodOf(0).tv_nsec, 0);
}

struct TickCounter {
    std::atomic<int> ticks{0};
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::chrono::milliseconds busyFor{0};

    static void tick(void* self)
    {
        auto& c = *static_cast<TickCounter*>(self);
        const int now = ++c.running;
        c.mostAtOnce = std::max(c.mostAtOnce.load(), now);
        std::this_thread::sleep_for(c.busyFor);
        ++c.ticks;
        --c.running;
    }
};

TEST(PollTimer, TicksEveryPeriodUntilStopped)
{
    TickCounter counter;
    Timer timer;
    timer.userData = &counter;
    timer.callbackFunction = TickCounter::tick;
    timer.start(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    timer.stop();
    const int ticked = counter.ticks;
    EXPECT_GE(ticked, 5);
    EXPECT_LE(ticked, 25);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(counter.ticks, ticked);
}

TEST(PollTimer, ZeroPeriodAndMissingCallbackDoNothing)
{
    TickCounter counter;
    {
        Timer timer;
        timer.userData = &counter;
        timer.callbackFunction = TickCounter::tick;
        timer.start(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    EXPECT_EQ(counter.ticks, 0);
    Timer empty;
    empty.start(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    empty.callback(); // no user data, no function: nothing to call
}

TEST(PollTimer, StopWaitsForARunningTickAndTicksNeverOverlap)
{
    TickCounter counter;
    counter.busyFor = std::chrono::milliseconds(35);
    auto timer = std::make_unique<Timer>();
    timer->userData = &counter;
    timer->callbackFunction = TickCounter::tick;
    timer->start(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    timer->stop();
    EXPECT_EQ(counter.running, 0);
    EXPECT_EQ(counter.mostAtOnce, 1);
    timer->start(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timer.reset(); // destruction waits too
    EXPECT_EQ(counter.running, 0);
}

} // namespace
