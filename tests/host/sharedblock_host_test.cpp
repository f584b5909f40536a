// The shared block as a reader in another process sees it, written by the real
// library: parameter values and texts, and the oscilloscope trace of the output.
#include "heldinstances.h"
#include "looperrig.h"
#include "sharedblock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using looperrig::LooperRig;

namespace {

// A read-only mapping of an engine's block, the way the editor maps it.
class BlockReader {
public:
    explicit BlockReader(int32_t instance)
    {
        const int fd = shm_open(sharedBlockName(instance).c_str(), O_RDONLY, 0);
        if (fd < 0) return;
        void* memory = mmap(nullptr, sharedBlockSize, PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        if (memory != MAP_FAILED) block = static_cast<const SharedBlock*>(memory);
    }
    ~BlockReader()
    {
        if (block) munmap(const_cast<SharedBlock*>(block), sharedBlockSize);
    }
    const SharedBlock* block = nullptr;
    const char* bytes() const { return reinterpret_cast<const char*>(block); }
};

void renderConstant(LooperRig& rig, float value, size_t frames)
{
    for (size_t f = 0; f < rig.input.frames(); ++f)
        rig.input.at(0, f) = rig.input.at(1, f) = value;
    rig.renderTo(frames);
}

// Each parameter entry holds the engine's value and display text, with nothing else in it, and
// the oscilloscope's part is still all zero.
void expectBlockShowsEngine(const BlockReader& reader, hostcore::LoadedPlugin& plugin)
{
    for (VstInt32 k = 0; k < sharedParameterCount; ++k) {
        const SharedParameterEntry& entry = reader.block->parameters[k];
        EXPECT_EQ(entry.value, plugin.getParameter(k)) << "parameter " << k;
        const std::string text = plugin.parameterDisplay(k).text;
        EXPECT_FALSE(text.empty()) << "parameter " << k;
        EXPECT_EQ(std::string(entry.text, strnlen(entry.text, sharedTextSize)), text)
            << "parameter " << k;
        for (size_t i = text.size(); i < sizeof entry.text; ++i)
            ASSERT_EQ(entry.text[i], 0) << "parameter " << k << " text byte " << i;
        for (char unused : entry.unused)
            ASSERT_EQ(unused, 0) << "parameter " << k;
    }
    const size_t scope = offsetof(SharedBlock, scopeMinima);
    for (size_t i = scope; i < sharedBlockSize; ++i)
        ASSERT_EQ(reader.bytes()[i], 0) << "byte " << i;
}

// A block that no live engine holds, under the first number from first on that this process
// can lock, filled with what an engine of a process that died might have left; its number, or
// -1 when no object can be had.
int32_t leaveBlockBehind(int32_t first)
{
    for (int32_t number = first; number < first + 1024; ++number) {
        const int fd = shm_open(sharedBlockName(number).c_str(), O_CREAT | O_RDWR, 0600);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && ftruncate(fd, sharedBlockSize) == 0) {
            const std::vector<char> junk(sharedBlockSize, '\x5a');
            const bool written = write(fd, junk.data(), junk.size()) == ssize_t(junk.size());
            close(fd);
            if (written) return number;
            continue;
        }
        close(fd);
    }
    return -1;
}

TEST(SharedBlockThroughHost, AFreshBlockHoldsEveryDefaultAndNoTrace)
{
    LooperRig rig(1);
    BlockReader reader(heldInstance(0));
    ASSERT_NE(reader.block, nullptr);
    expectBlockShowsEngine(reader, *rig.plugin);
    EXPECT_STREQ(reader.block->parameters[5].text, "1 beat");
    EXPECT_STREQ(reader.block->parameters[9].text, "100");
    EXPECT_STREQ(reader.block->parameters[23].text, "Phazer");
}

TEST(SharedBlockThroughHost, ABlockLeftBehindIsReusedWithEveryDefaultAndNoTrace)
{
    LooperRig first(1);
    // Numbers only grow within a process: the next engine claims the left-over block.
    const int32_t leftOver = leaveBlockBehind(heldInstance(0) + 1);
    ASSERT_GE(leftOver, 0);
    LooperRig second(1);
    ASSERT_EQ(heldInstance(1), leftOver) << "another process took the left-over number first";
    BlockReader reader(leftOver);
    ASSERT_NE(reader.block, nullptr);
    expectBlockShowsEngine(reader, *second.plugin);
}

TEST(SharedBlockThroughHost, ParameterValueAndTextAtTheirOffsets)
{
    LooperRig rig(1);
    BlockReader reader(heldInstance(0));
    ASSERT_NE(reader.block, nullptr);
    rig.plugin->setParameter(4, 0.0f);
    float value = -1.0f;
    std::memcpy(&value, reader.bytes() + 128, sizeof(value));
    EXPECT_EQ(value, 0.0f);
    EXPECT_STREQ(reader.bytes() + 144, "1 bar");
    rig.plugin->setParameter(20, 0.5f);
    std::memcpy(&value, reader.bytes() + 640, sizeof(value));
    EXPECT_EQ(value, 0.5f);
    EXPECT_STREQ(reader.bytes() + 656, "Hipass");
    rig.plugin->setParameter(9, 0.75f);
    EXPECT_STREQ(reader.block->parameters[9].text, "141");
    rig.plugin->setParameter(0, 1.0f);
    EXPECT_STREQ(reader.block->parameters[0].text, "ON");
    EXPECT_EQ(reader.block->parameters[0].value, 1.0f);
}

// The editor shows what the notes hold down, as it shows what the host sets.
TEST(SharedBlockThroughHost, AHeldNoteShowsItsLoopOnUntilLetGo)
{
    LooperRig rig(1024);
    BlockReader reader(heldInstance(0));
    ASSERT_NE(reader.block, nullptr);
    rig.sendAt(100, 0x90, 37, 100); // Loop2
    rig.sendAt(700, 0x80, 37, 0);
    rig.renderTo(512);
    EXPECT_EQ(reader.block->parameters[1].value, 1.0f);
    EXPECT_STREQ(reader.block->parameters[1].text, "ON");
    rig.renderTo(1024);
    EXPECT_EQ(reader.block->parameters[1].value, 0.0f);
    EXPECT_STREQ(reader.block->parameters[1].text, "OFF");
}

TEST(SharedBlockThroughHost, NonFiniteValuesLeaveTheBlockAlone)
{
    LooperRig rig(1);
    BlockReader reader(heldInstance(0));
    ASSERT_NE(reader.block, nullptr);
    rig.plugin->setParameter(5, 0.5f);
    rig.plugin->setParameter(5, std::numeric_limits<float>::quiet_NaN());
    rig.plugin->setParameter(5, std::numeric_limits<float>::infinity());
    EXPECT_EQ(reader.block->parameters[5].value, 0.5f);
    EXPECT_STREQ(reader.block->parameters[5].text, "1/2 beat");
}

TEST(SharedBlockThroughHost, ThreeHundredPointsScrollTheTrace)
{
    // Window w of 176 frames carries (w + 1) / 1000, so each point says which
    // window it came from; the point of a window is appended when the frame
    // after it arrives.
    LooperRig rig(176 * 300 + 1, 44100.0, 120.0, 500);
    for (size_t f = 0; f < rig.input.frames(); ++f)
        rig.input.at(0, f) = rig.input.at(1, f) = float(f / 176 + 1) / 1000.0f;
    BlockReader reader(heldInstance(0));
    ASSERT_NE(reader.block, nullptr);
    rig.renderTo(176 * 300);
    EXPECT_EQ(reader.block->scopePointCount, 256);
    EXPECT_EQ(reader.block->scopeMaxima[255], 299.0f / 1000.0f);
    rig.renderTo(176 * 300 + 1);
    EXPECT_EQ(reader.block->scopePointCount, 256);
    for (int j = 0; j < 256; ++j) {
        ASSERT_EQ(reader.block->scopeMaxima[j], float(j + 45) / 1000.0f) << j;
        ASSERT_EQ(reader.block->scopeMinima[j], 0.0f) << j;
    }
}

TEST(SharedBlockThroughHost, ConstantOutputsGiveOneSidedPoints)
{
    for (float level : {0.5f, -0.5f}) {
        LooperRig rig(176 * 10 + 1);
        BlockReader reader(heldInstance(0));
        ASSERT_NE(reader.block, nullptr);
        renderConstant(rig, level, 176 * 10 + 1);
        ASSERT_EQ(reader.block->scopePointCount, 10);
        for (int j = 0; j < 10; ++j) {
            EXPECT_EQ(reader.block->scopeMinima[j], level < 0 ? level : 0.0f);
            EXPECT_EQ(reader.block->scopeMaxima[j], level > 0 ? level : 0.0f);
        }
    }
}

TEST(SharedBlockThroughHost, TwoEnginesKeepTheirOwnBlocksAndTraces)
{
    LooperRig loud(176 * 20 + 1);
    LooperRig quiet(176 * 20 + 1);
    BlockReader first(heldInstance(0));
    BlockReader second(heldInstance(1));
    ASSERT_NE(first.block, nullptr);
    ASSERT_NE(second.block, nullptr);
    for (size_t f = 0; f < loud.input.frames(); ++f) {
        loud.input.at(0, f) = loud.input.at(1, f) = 0.5f;
        quiet.input.at(0, f) = quiet.input.at(1, f) = -0.25f;
    }
    // Interleaved blocks, as two tracks of one host would be.
    while (loud.done < loud.input.frames()) {
        loud.processBlock(VstInt32(std::min<size_t>(100, loud.input.frames() - loud.done)));
        quiet.processBlock(VstInt32(std::min<size_t>(100, quiet.input.frames() - quiet.done)));
    }
    quiet.plugin->setParameter(6, 1.0f);
    EXPECT_STREQ(second.block->parameters[6].text, "1/32 beat");
    EXPECT_STREQ(first.block->parameters[6].text, "3/4 beat");
    ASSERT_EQ(first.block->scopePointCount, 20);
    ASSERT_EQ(second.block->scopePointCount, 20);
    for (int j = 0; j < 20; ++j) {
        EXPECT_EQ(first.block->scopeMinima[j], 0.0f);
        EXPECT_EQ(first.block->scopeMaxima[j], 0.5f);
        EXPECT_EQ(second.block->scopeMinima[j], -0.25f);
        EXPECT_EQ(second.block->scopeMaxima[j], 0.0f);
    }
}

TEST(SharedBlockThroughHost, NoTimeInformationFeedsNoTrace)
{
    LooperRig rig(176 * 5 + 1);
    rig.host.setTimeInfoAvailable(false);
    BlockReader reader(heldInstance(0));
    ASSERT_NE(reader.block, nullptr);
    renderConstant(rig, 0.5f, 176 * 5 + 1);
    EXPECT_EQ(reader.block->scopePointCount, 0);
}

} // namespace
