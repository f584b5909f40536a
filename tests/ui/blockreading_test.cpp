// The UI's readings of the shared block on contents the engine would write and on contents it
// never would: every answer stays within what the widgets can take.
#include "blockreading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace blockreading;

SharedBlock blockOf(unsigned char fill)
{
    SharedBlock block;
    std::memset(&block, fill, sizeof block);
    return block;
}

TEST(BlockReading, ValuesAreReadForEveryParameterAndRefusedOutsideOrNotFinite)
{
    SharedBlock block = blockOf(0);
    block.parameters[0].value = 0.25f;
    block.parameters[23].value = -3.0f;
    block.parameters[7].value = std::numeric_limits<float>::quiet_NaN();
    block.parameters[8].value = std::numeric_limits<float>::infinity();
    EXPECT_EQ(parameterValue(block, 0), 0.25f);
    EXPECT_EQ(parameterValue(block, 23), -3.0f);
    EXPECT_FALSE(parameterValue(block, 7));
    EXPECT_FALSE(parameterValue(block, 8));
    EXPECT_FALSE(parameterValue(block, -1));
    EXPECT_FALSE(parameterValue(block, 24));
}

TEST(BlockReading, TextsStopAtTheirEndOrTheFifteenthCharacter)
{
    SharedBlock block = blockOf('x'); // no NUL anywhere
    std::strcpy(block.parameters[4].text, "1/2 beat");
    EXPECT_STREQ(displayText(block, 4).data(), "1/2 beat");
    EXPECT_STREQ(displayText(block, 5).data(), "xxxxxxxxxxxxxxx");
    EXPECT_STREQ(displayText(block, 24).data(), "");
    EXPECT_STREQ(displayText(block, -7).data(), "");
}

TEST(BlockReading, TheEffectIsTheFxSelValueTimesFourTruncatedWithinRange)
{
    SharedBlock block = blockOf(0);
    const struct {
        float value;
        int effect;
    } cases[] = {{0.0f, 0},    {0.3f, 1},
                 {0.5f, 2},    {0.75f, 3},
                 {0.9999f, 3}, {1.0f, -1},
                 {-0.2f, 0},   {-0.25f, -1},
                 {1e30f, -1},  {std::numeric_limits<float>::quiet_NaN(), -1}};
    for (const auto& c : cases) {
        block.parameters[21].value = c.value;
        EXPECT_EQ(selectedEffect(block, 1), c.effect) << c.value;
    }
    EXPECT_EQ(selectedEffect(block, 4), -1);
    EXPECT_EQ(selectedEffect(block, -1), -1);
}

TEST(BlockReading, BarsRunFromTheMinimumDownBelowTheMiddleToTheMaximumAbove)
{
    const auto rows = barRows(-0.5f, 0.25f, 40, 40.0);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->top, 60);
    EXPECT_EQ(rows->bottom, 30);
    EXPECT_FALSE(barRows(std::nanf(""), 0.0f, 40, 40.0));
    EXPECT_FALSE(barRows(0.0f, -std::numeric_limits<float>::infinity(), 40, 40.0));
    const auto huge = barRows(-std::numeric_limits<float>::max(), 3e38f, 40, 40.0);
    ASSERT_TRUE(huge);
    EXPECT_GT(huge->top, 40 + 100000);
    EXPECT_LT(huge->bottom, 40 - 100000);
}

} // namespace
