// The UI's end of the channel against real FIFOs and a real shared block, made as the
// plug-in makes them.
#include "channel.h"
#include "channelfiles.h"
#include "debuglog.h"
#include "eventloop.h"
#include "mainwidget.h"
#include "mainwidgetprobe.h"
#include "uicommunication.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string kUnhandledLine = "PravoLindel3UI > processMessageFromPlugin : unhandled opcode\n";
const std::string kUiFifoLine = "PravoLindel3UI > ERROR can't open UI FIFO";
const std::string kPluginFifoLine = "PravoLindel3UI > ERROR can't open Plugin FIFO";
const std::string kSharedOpenLine = "PravoLindel3UI > error can't open plugin shared memory";
const std::string kSharedMapLine =
    "PravoLindel3UI > error can't allocate / read plugin shared memory ";

// A channel with everything the plug-in provides, linked to a main widget.
class ConnectedChannel : public testing::Test {
protected:
    void SetUp() override
    {
        files.makeFifos();
        files.makeSharedBlock();
        files.openEnds();
        communication.emplace(files.instance);
        mainWidget.emplace(&*communication);
        communication->setMainWidget(&*mainWidget);
    }

    DebugLog log;
    ChannelFiles files{testInstanceNumber()};
    std::optional<UICommunication> communication;
    std::optional<MainWidget> mainWidget;
};

std::string refusalLine(const std::string& line, const std::string& name, const char* reason)
{
    return line + ": " + name + " " + reason;
}

} // namespace

TEST_F(ConnectedChannel, OpensEverythingWithoutALine)
{
    EXPECT_TRUE(log.lines().empty());
    ASSERT_NE(communication->sharedBlock(), nullptr);
}

TEST_F(ConnectedChannel, RecordsInThePluginFifoReachTheMainWidgetThroughThePoll)
{
    files.writePlugin(join({parameterBytes(5, 0.5f), {2}, parameterBytes(12, 1.0f)}));
    ASSERT_TRUE(processEventsUntil([&] { return buttonPressed(*mainWidget, 12); }, 2s));
    EXPECT_EQ(knobValue(*mainWidget, 5), 0.5f);
    EXPECT_TRUE(log.lines().empty()) << "nothing is printed per parameter";
}

TEST_F(ConnectedChannel, OneTickAppliesEverythingWrittenSinceTheLast)
{
    // More records than a small read would take, written one by one as the plug-in does.
    // Every value switches its button on; the FX selections 20..23 have no control.
    for (int i = 0; i < 24; ++i)
        files.writePlugin(parameterBytes(i, 0.5f + float(i) / 64.0f));
    communication->processMessageFromPlugin();
    for (int i = 0; i < 20; ++i) {
        const bool isKnob = i >= 4 && i < 12;
        if (isKnob) {
            EXPECT_EQ(knobValue(*mainWidget, i), 0.5f + float(i) / 64.0f) << i;
        } else {
            EXPECT_TRUE(buttonPressed(*mainWidget, i)) << i;
        }
    }
}

TEST_F(ConnectedChannel, ParameterBatchSetsTheFirstSevenParameters)
{
    Bytes batch{16, 255, 0, 51, 255, 102, 0, 204};
    const Bytes n{2, 0, 0, 0};
    batch.insert(batch.end(), n.begin(), n.end());
    batch.insert(batch.end(), {'h', 'i', 0});
    files.writePlugin(batch);
    communication->processMessageFromPlugin();
    // Loop buttons 0..3 (on from 0.5), then size knobs 4..6.
    const bool pressed[] = {true, false, false, true};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(buttonPressed(*mainWidget, k), pressed[k]) << k;
    EXPECT_FLOAT_EQ(knobValue(*mainWidget, 4), 0.4f);
    EXPECT_FLOAT_EQ(knobValue(*mainWidget, 5), 0.0f);
    EXPECT_FLOAT_EQ(knobValue(*mainWidget, 6), 0.8f);
}

TEST_F(ConnectedChannel, UnknownOpcodeIsReportedOnStandardOutputAndTheRestDropped)
{
    testing::internal::CaptureStdout();
    files.writePlugin(join({{0}, parameterBytes(1, 1.0f)}));
    communication->processMessageFromPlugin();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kUnhandledLine);
    EXPECT_FALSE(buttonPressed(*mainWidget, 1));

    // The next tick reads afresh.
    files.writePlugin(parameterBytes(1, 1.0f));
    communication->processMessageFromPlugin();
    EXPECT_TRUE(buttonPressed(*mainWidget, 1));
}

TEST_F(ConnectedChannel, MalformedRecordEndsTheReadLikeAnUnknownOpcode)
{
    testing::internal::CaptureStdout();
    // An open record whose text would run far past the read, then a record that must be lost.
    files.writePlugin(join(
        {parameterBytes(2, 0.5f), {6, 0xFF, 0xFF, 0xFF, 0x7F, '1', 0}, parameterBytes(3, 0.5f)}));
    communication->processMessageFromPlugin();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kUnhandledLine);
    EXPECT_TRUE(buttonPressed(*mainWidget, 2));
    EXPECT_FALSE(buttonPressed(*mainWidget, 3));
}

TEST_F(ConnectedChannel, TerminateEndsTheEventLoopWithZeroAndPrintsOnlyItsLine)
{
    testing::internal::CaptureStdout();
    files.writePlugin(join({terminateBytes(), parameterBytes(4, 1.0f)}));
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"PravoLindel3UI > terminating QApplication "});
    EXPECT_EQ(knobValue(*mainWidget, 4), 0.0f);
}

TEST_F(ConnectedChannel, SendParameterWritesOneNineByteRecordIntoTheUiFifo)
{
    EXPECT_TRUE(communication->sendParameter(5, 0.5f));
    EXPECT_EQ(files.readUi(), (Bytes{1, 5, 0, 0, 0, 0, 0, 0, 0x3F}));
    EXPECT_TRUE(communication->sendParameter(22, 0.75f));
    EXPECT_TRUE(communication->sendParameter(0, 1.0f));
    EXPECT_EQ(files.readUi(), join({parameterBytes(22, 0.75f), parameterBytes(0, 1.0f)}));
}

TEST_F(ConnectedChannel, SendParameterSaysWhichRecordsAFullPipeLost)
{
    // Nobody reads: the pipe fills up after some thousands of records.
    size_t sent = 0;
    size_t lost = 0;
    for (int record = 0; record < 1'000'000 && lost < 3; ++record)
        (communication->sendParameter(record % 24, 0.5f) ? sent : lost) += 1;
    ASSERT_EQ(lost, 3u);
    size_t waiting = 0;
    for (Bytes bytes = files.readUi(); !bytes.empty(); bytes = files.readUi())
        waiting += bytes.size();
    EXPECT_EQ(waiting, sent * channel::kParameterSize);
}

TEST_F(ConnectedChannel, SharedBlockIsThePluginsMapping)
{
    SharedBlock* block = communication->sharedBlock();
    ASSERT_NE(block, nullptr);
    files.block()->parameters[5].value = 0.25f;
    std::strcpy(files.block()->parameters[5].text, "1/2 beat");
    files.block()->scopePointCount = 17;
    EXPECT_EQ(block->parameters[5].value, 0.25f);
    EXPECT_STREQ(block->parameters[5].text, "1/2 beat");
    EXPECT_EQ(block->scopePointCount, 17);
}

TEST_F(ConnectedChannel, ParameterIndicesWithoutAParameterChangeNothing)
{
    files.writePlugin(
        join({parameterBytes(24, 1.0f), parameterBytes(-1, 1.0f), parameterBytes(23, 0.5f)}));
    communication->processMessageFromPlugin();
    EXPECT_EQ(files.pluginBytesWaiting(), 0u);
    for (int i = 0; i < 20; ++i) {
        const bool isKnob = i >= 4 && i < 12;
        if (isKnob) {
            EXPECT_EQ(knobValue(*mainWidget, i), 0.0f) << i;
        } else {
            EXPECT_FALSE(buttonPressed(*mainWidget, i)) << i;
        }
    }
    EXPECT_TRUE(log.lines().empty());
}

// A file at a channel path that must not be used, and how it is made.
struct Refusal {
    const char* name;
    bool uiFifo; // which of the two FIFOs is the bad one
    const char* reason;
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name << (refusal.uiFifo ? " at the UI FIFO" : " at the plugin FIFO");
}

class RefusedFifo : public testing::TestWithParam<Refusal> {
protected:
    // Makes the bad file at the chosen path and a good FIFO at the other.
    void makeFiles()
    {
        const Refusal& refusal = GetParam();
        const std::string& bad = refusal.uiFifo ? files.uiFifo : files.pluginFifo;
        const std::string& good = refusal.uiFifo ? files.pluginFifo : files.uiFifo;
        ChannelFiles::makeFifo(good, 0600);
        files.makeSharedBlock();
        const std::string kind = refusal.name;
        if (kind == "link") {
            // A private FIFO behind the link, which the UI would be happy to use directly.
            target = files.scratchPath("target.fifo");
            ChannelFiles::makeFifo(target, 0600);
            ASSERT_EQ(symlink(target.c_str(), bad.c_str()), 0);
        } else if (kind == "open to others") {
            ChannelFiles::makeFifo(bad, 0644);
            target = bad;
        } else if (kind == "regular file") {
            const int fd = open(bad.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
            ASSERT_GE(fd, 0);
            close(fd);
        }
    }

    DebugLog log;
    ChannelFiles files{testInstanceNumber()};
    std::string target; // the FIFO behind the bad path, when there is one
};

TEST_P(RefusedFifo, IsReportedInOneLineAndNeverUsed)
{
    makeFiles();
    const Refusal& refusal = GetParam();
    int targetFd = -1;
    if (!target.empty()) targetFd = open(target.c_str(), O_RDWR | O_NONBLOCK);
    UICommunication communication(files.instance);
    MainWidget mainWidget(&communication);
    communication.setMainWidget(&mainWidget);

    const std::string line = refusal.uiFifo ? kUiFifoLine : kPluginFifoLine;
    const std::string path = refusal.uiFifo ? files.uiFifo : files.pluginFifo;
    const std::vector<std::string> expected{refusalLine(line, path, refusal.reason)};
    EXPECT_EQ(log.lines(), expected);

    if (targetFd >= 0 && refusal.uiFifo) {
        communication.sendParameter(3, 1.0f);
        Bytes bytes(64);
        EXPECT_LT(read(targetFd, bytes.data(), bytes.size()), 0) << "the UI wrote into it";
    }
    if (targetFd >= 0 && !refusal.uiFifo) {
        const Bytes record = parameterBytes(3, 1.0f);
        ASSERT_EQ(write(targetFd, record.data(), record.size()), ssize_t(record.size()));
        communication.processMessageFromPlugin();
        EXPECT_FALSE(buttonPressed(mainWidget, 3)) << "the UI read from it";
    }
    if (targetFd >= 0) close(targetFd);
}

std::string refusalName(const testing::TestParamInfo<Refusal>& info)
{
    std::string name;
    for (const char* c = info.param.name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(UiFifo, RefusedFifo,
                         testing::Values(Refusal{"link", true, "is a symbolic link"},
                                         Refusal{"open to others", true, "is open to other users"},
                                         Refusal{"regular file", true,
                                                 "is not the kind of file expected"},
                                         Refusal{"missing", true, "does not exist"}),
                         refusalName);

INSTANTIATE_TEST_SUITE_P(PluginFifo, RefusedFifo,
                         testing::Values(Refusal{"link", false, "is a symbolic link"},
                                         Refusal{"open to others", false, "is open to other users"},
                                         Refusal{"regular file", false,
                                                 "is not the kind of file expected"},
                                         Refusal{"missing", false, "does not exist"}),
                         refusalName);

TEST(UICommunicationWithoutFifos, ReportsBothInOrderAndRunsWithoutSendingOrReceiving)
{
    DebugLog log;
    ChannelFiles files(testInstanceNumber());
    files.makeSharedBlock();
    UICommunication communication(files.instance);
    MainWidget mainWidget(&communication);
    communication.setMainWidget(&mainWidget);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               refusalLine(kUiFifoLine, files.uiFifo, "does not exist"),
                               refusalLine(kPluginFifoLine, files.pluginFifo, "does not exist")}));
    EXPECT_FALSE(communication.sendParameter(1, 1.0f));
    processEventsFor(100ms);
    EXPECT_EQ(log.lines().size(), 2u);
    EXPECT_NE(communication.sharedBlock(), nullptr);
}

TEST(UICommunicationSharedBlock, MissingGivesBothLinesInOrderAndNoBlock)
{
    DebugLog log;
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    const UICommunication communication(files.instance);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               refusalLine(kSharedOpenLine, files.sharedName, "does not exist"),
                               kSharedMapLine}));
    EXPECT_EQ(communication.sharedBlock(), nullptr);
}

TEST(UICommunicationSharedBlock, OpenToOthersIsRefused)
{
    DebugLog log;
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock(0644);
    const UICommunication communication(files.instance);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{refusalLine(kSharedOpenLine, files.sharedName,
                                                                 "is open to other users"),
                                                     kSharedMapLine}));
    EXPECT_EQ(communication.sharedBlock(), nullptr);
}

TEST(UICommunicationSharedBlock, ShorterThanTheLayoutIsNotMapped)
{
    DebugLog log;
    ChannelFiles files(testInstanceNumber());
    files.makeFifos();
    files.makeSharedBlock(0600, sharedBlockSize - 4);
    const UICommunication communication(files.instance);
    EXPECT_EQ(log.lines(), std::vector<std::string>{kSharedMapLine});
    EXPECT_EQ(communication.sharedBlock(), nullptr);
}
