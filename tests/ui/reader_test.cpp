// The walk over one read of the plugin FIFO, on byte sequences built by hand.
#include "channel.h"
#include "pluginmessagereader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Writes down every call as one line of text, so that order and values can be compared.
std::string parameterEvent(int32_t index, float value)
{
    return "parameter " + std::to_string(index) + " " + std::to_string(value);
}

class RecordingHandler : public PluginMessageHandler {
public:
    std::vector<std::string> events;

    void parameter(int32_t index, float value) override
    {
        events.push_back(parameterEvent(index, value));
    }
    void open(unsigned long windowId) override
    {
        events.push_back("open " + std::to_string(windowId));
    }
    void terminate() override { events.push_back("terminate"); }
    void unhandled() override { events.push_back("unhandled"); }
};

void append(Bytes& bytes, const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
}

Bytes int32Bytes(int32_t n)
{
    Bytes bytes(4);
    std::memcpy(bytes.data(), &n, 4);
    return bytes;
}

Bytes parameterRecord(int32_t index, float value)
{
    const auto record = channel::encodeParameter(index, value);
    return {record.begin(), record.end()};
}

// Opcode, declared length, the text bytes as given, the closing 0 byte.
Bytes textRecord(uint8_t opcode, int32_t n, const std::string& text)
{
    Bytes bytes{opcode};
    append(bytes, int32Bytes(n));
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

Bytes batchRecord(const Bytes& values, int32_t n, const std::string& text)
{
    Bytes bytes{channel::kParameterBatch};
    append(bytes, values);
    append(bytes, int32Bytes(n));
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

std::vector<std::string> walk(const Bytes& bytes)
{
    RecordingHandler handler;
    readPluginMessages(bytes.data(), bytes.size(), handler);
    return handler.events;
}

using Events = std::vector<std::string>;

} // namespace

TEST(PluginMessageReader, ParameterRecordCarriesIndexAndValueInNativeOrder)
{
    // Parameter 5 at 0.5 as the plug-in writes it: 01, 05 00 00 00, 00 00 00 3F.
    EXPECT_EQ(walk({1, 5, 0, 0, 0, 0, 0, 0, 0x3F}), Events{parameterEvent(5, 0.5f)});
}

TEST(PluginMessageReader, TwoParameterRecordsInOneReadAreAppliedInOrder)
{
    Bytes bytes = parameterRecord(5, 0.5f);
    append(bytes, parameterRecord(12, 1.0f));
    EXPECT_EQ(walk(bytes), (Events{parameterEvent(5, 0.5f), parameterEvent(12, 1.0f)}));
}

TEST(PluginMessageReader, SingleByteOpcodesAreSkipped)
{
    for (const uint8_t skipped : {2, 4, 5}) {
        Bytes bytes{skipped};
        append(bytes, parameterRecord(3, 0.25f));
        EXPECT_EQ(walk(bytes), Events{parameterEvent(3, 0.25f)}) << int(skipped);
    }
}

TEST(PluginMessageReader, TerminateEndsTheWalkWithoutReadingItsTrailingByte)
{
    Bytes bytes{7, 0};
    EXPECT_EQ(walk(bytes), Events{"terminate"});
    append(bytes, parameterRecord(1, 1.0f));
    EXPECT_EQ(walk(bytes), Events{"terminate"});
}

TEST(PluginMessageReader, UnknownOpcodeEndsTheWalkAndDropsTheRest)
{
    Bytes startsWithZero{0};
    append(startsWithZero, parameterRecord(1, 1.0f));
    EXPECT_EQ(walk(startsWithZero), Events{"unhandled"});

    Bytes afterRecord = parameterRecord(2, 0.75f);
    afterRecord.push_back(3);
    append(afterRecord, parameterRecord(1, 1.0f));
    EXPECT_EQ(walk(afterRecord), (Events{parameterEvent(2, 0.75f), "unhandled"}));

    for (const int opcode : {0, 3, 8, 9, 10, 11, 12, 13, 14, 15, 18, 0x80, 0xFF})
        EXPECT_EQ(walk({uint8_t(opcode)}), Events{"unhandled"}) << opcode;
}

TEST(PluginMessageReader, OpenRecordThenParameterInOneRead)
{
    // Window 60817415 as the plug-in writes it: 06, 08 00 00 00, "60817415", 00.
    Bytes bytes = textRecord(channel::kOpen, 8, "60817415");
    ASSERT_EQ(bytes.size(), 14u);
    append(bytes, parameterRecord(7, 0.5f));
    EXPECT_EQ(walk(bytes), (Events{"open 60817415", parameterEvent(7, 0.5f)}));
}

TEST(PluginMessageReader, OpenRecordMatchesTheSharedEncoder)
{
    std::array<uint8_t, channel::kMaxOpenSize> record{};
    const size_t size = channel::encodeOpen("4294967295", record);
    EXPECT_EQ(walk({record.begin(), record.begin() + long(size)}), Events{"open 4294967295"});
}

TEST(PluginMessageReader, ParameterBatchSetsTheFirstSevenParametersAndSkipsItsText)
{
    Bytes bytes = batchRecord({0, 51, 102, 153, 204, 255, 17}, 3, "abc");
    append(bytes, parameterRecord(20, 0.75f));
    const Events expected{parameterEvent(0, 0.0f),         parameterEvent(1, 51 / 255.0f),
                          parameterEvent(2, 102 / 255.0f), parameterEvent(3, 153 / 255.0f),
                          parameterEvent(4, 204 / 255.0f), parameterEvent(5, 1.0f),
                          parameterEvent(6, 17 / 255.0f),  parameterEvent(20, 0.75f)};
    EXPECT_EQ(walk(bytes), expected);
}

TEST(PluginMessageReader, TextRecordIsSkippedWhole)
{
    // The text holds bytes that would be opcodes if the walk looked inside it.
    Bytes bytes = textRecord(channel::kText, 4, std::string("\x07\x00\x01\x06", 4));
    append(bytes, parameterRecord(9, 0.125f));
    EXPECT_EQ(walk(bytes), Events{parameterEvent(9, 0.125f)});

    Bytes empty = textRecord(channel::kText, 0, "");
    append(empty, parameterRecord(9, 0.5f));
    EXPECT_EQ(walk(empty), Events{parameterEvent(9, 0.5f)});
}

TEST(PluginMessageReader, ParameterRecordCutOffAtTheEndOfTheReadIsUnhandled)
{
    Bytes bytes = parameterRecord(4, 0.5f);
    append(bytes, parameterRecord(5, 0.25f));
    for (size_t cut = 1; cut < channel::kParameterSize; ++cut) {
        const Bytes shortened(bytes.begin(), bytes.end() - long(cut));
        EXPECT_EQ(walk(shortened), (Events{parameterEvent(4, 0.5f), "unhandled"})) << cut;
    }
}

TEST(PluginMessageReader, TextRecordsWithNegativeLengthAreUnhandled)
{
    for (const uint8_t opcode : {channel::kOpen, channel::kText}) {
        Bytes bytes = textRecord(opcode, -1, "12345");
        append(bytes, parameterRecord(1, 1.0f));
        EXPECT_EQ(walk(bytes), Events{"unhandled"}) << int(opcode);
    }
    Bytes batch = batchRecord({1, 2, 3, 4, 5, 6, 7}, -6, "abc");
    append(batch, parameterRecord(1, 1.0f));
    EXPECT_EQ(walk(batch), Events{"unhandled"});
}

TEST(PluginMessageReader, TextRecordsRunningPastTheReadAreUnhandled)
{
    // n one more than the text: the closing byte would lie past the read.
    EXPECT_EQ(walk(textRecord(channel::kOpen, 9, "60817415")), Events{"unhandled"});
    EXPECT_EQ(walk(textRecord(channel::kText, 4, "abc")), Events{"unhandled"});
    EXPECT_EQ(walk(batchRecord({1, 2, 3, 4, 5, 6, 7}, 4, "abc")), Events{"unhandled"});
    for (const int32_t huge : {0x7FFFFFFF, 0x10000, 1 << 30}) {
        EXPECT_EQ(walk(textRecord(channel::kOpen, huge, "1")), Events{"unhandled"}) << huge;
        EXPECT_EQ(walk(textRecord(channel::kText, huge, "1")), Events{"unhandled"}) << huge;
        EXPECT_EQ(walk(batchRecord({0, 0, 0, 0, 0, 0, 0}, huge, "")), Events{"unhandled"});
    }
}

TEST(PluginMessageReader, RecordHeadersCutOffAreUnhandled)
{
    const Bytes open = textRecord(channel::kOpen, 2, "42");
    const Bytes text = textRecord(channel::kText, 2, "42");
    const Bytes batch = batchRecord({9, 9, 9, 9, 9, 9, 9}, 2, "42");
    for (const Bytes* record : {&open, &text, &batch}) {
        for (size_t size = 1; size < record->size(); ++size) {
            const Bytes shortened(record->begin(), record->begin() + long(size));
            EXPECT_EQ(walk(shortened), Events{"unhandled"}) << int((*record)[0]) << " " << size;
        }
    }
}

TEST(PluginMessageReader, WindowTextIsReadOnlyInsideItsRecord)
{
    // Digits in the next record must not extend the window id.
    Bytes bytes = textRecord(channel::kOpen, 3, "123");
    bytes.back() = '4'; // no closing 0 byte: the id still ends with the record's text
    append(bytes, parameterRecord(0, 0.0f));
    const Events events = walk(bytes);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "open 123");
}

TEST(PluginMessageReader, WindowTextWithJunkGivesWindowZero)
{
    for (const std::string junk : {"12a4", " 1234", "1234 ", "-1234", "+1234", "0x1f", ""}) {
        Bytes bytes = textRecord(channel::kOpen, int32_t(junk.size()), junk);
        append(bytes, parameterRecord(2, 0.5f));
        EXPECT_EQ(walk(bytes), (Events{"open 0", parameterEvent(2, 0.5f)})) << junk;
    }
}

TEST(PluginMessageReader, WindowTextEndsAtItsZeroByte)
{
    const std::string text("777\0"
                           "99",
                           6);
    EXPECT_EQ(walk(textRecord(channel::kOpen, int32_t(text.size()), text)), Events{"open 777"});
}

TEST(WindowIdText, ParsesDecimalDigitsThatFitAnUnsignedLong)
{
    EXPECT_EQ(parseWindowId("60817415"), 60817415ul);
    EXPECT_EQ(parseWindowId("0"), 0ul);
    EXPECT_EQ(parseWindowId("007"), 7ul);
    EXPECT_EQ(parseWindowId("18446744073709551615"), 18446744073709551615ul);
    EXPECT_EQ(parseWindowId("18446744073709551616"), 0ul);
    EXPECT_EQ(parseWindowId("99999999999999999999999"), 0ul);
    EXPECT_EQ(parseWindowId("12x"), 0ul);
}

// Random bytes, and valid records with random corruption: the walk must end, every call must
// be paid for by at least one byte, and (under the address sanitizer) nothing outside the
// exactly sized buffer may be read.
TEST(PluginMessageReader, ArbitraryBytesNeverLoopOrReadOutsideTheBuffer)
{
    std::mt19937 random(20240613);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 64);
    const Bytes opcodes{1, 2, 4, 5, 6, 7, 16, 17};
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes(size_t(length(random)));
        for (uint8_t& b : bytes)
            b = uint8_t(byte(random));
        // Mostly known opcodes at the start, so that the record paths are the ones exercised.
        if (!bytes.empty() && round % 4 != 0)
            bytes[0] = opcodes[size_t(byte(random)) % opcodes.size()];
        if (bytes.size() > 4 && round % 3 == 0) {
            const int32_t n = int32_t(byte(random) % 70) - 3;
            std::memcpy(bytes.data() + 1, &n, 4);
        }
        // A vector built at its size holds exactly that many bytes on the heap.
        RecordingHandler handler;
        readPluginMessages(bytes.data(), bytes.size(), handler);
        EXPECT_LE(handler.events.size(), std::max<size_t>(bytes.size(), 1)) << round;
    }
}
