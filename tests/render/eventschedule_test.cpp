// Events placed on frames: the block they apply before, the blocks --exact
// splits, and which way the transport starts.
#include "eventschedule.h"

#include "numbers.h"
#include "rendererror.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

using pl3render::EventSchedule;
using pl3render::ParameterTable;
using pl3render::parseTimeline;
using Kind = pl3render::TimelineEvent::Kind;

constexpr double kRate = 44100.0;
constexpr double kBeat = 22050.0; // 120 BPM at 44,100 Hz

const ParameterTable& names()
{
    static const ParameterTable table({"Loop1", "Value1", "FX1 sel"});
    return table;
}

// From 120 BPM on, through the tempo events of `text`.
EventSchedule schedule(const std::string& text, double startBeat = 0.0)
{
    auto events = parseTimeline(text, "t");
    pl3render::sortByPosition(events);
    return EventSchedule(events, names(), pl3render::tempoMapOf(events, 120.0), kRate, startBeat);
}

// The position of a frame, written so that it reads back as that frame.
std::string at(double frame)
{
    std::string text = "@";
    return text += pl3render::formatNumber(frame / kBeat);
}

std::vector<std::int64_t> framesOf(const EventSchedule& s)
{
    std::vector<std::int64_t> frames;
    for (const auto& event : s.events())
        frames.push_back(event.frame);
    return frames;
}

TEST(EventPlacement, BeatsBecomeFramesAndNamesIndices)
{
    const EventSchedule s = schedule("Loop1=1@4.5\nFX1_sel=0.5@1\nstop@2\n1=0.25@0.001");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(framesOf(s), (std::vector<std::int64_t>{22, 22050, 44100, 99225}));
    EXPECT_EQ(s.events()[0].parameter, 1);
    EXPECT_EQ(s.events()[0].value, 0.25f);
    EXPECT_EQ(s.events()[1].parameter, 2);
    EXPECT_EQ(s.events()[2].kind, Kind::Stop);
    EXPECT_EQ(s.events()[3].parameter, 0);
}

TEST(EventPlacement, TheStartPositionIsTheFirstFrame)
{
    EXPECT_EQ(framesOf(schedule("Loop1=1@8\nLoop1=0@10.5", 8.0)),
              (std::vector<std::int64_t>{0, 55125}));
    EXPECT_EQ(framesOf(schedule("Loop1=1@3\nLoop1=0@7.999", 8.0)),
              (std::vector<std::int64_t>{0, 0}))
        << "events before the start are due at once";
    EXPECT_EQ(pl3render::frameOfBeat(5.0, 1.0 / 3.0, hostcore::TempoMap(90.0), kRate),
              147000 - 9800);
}

TEST(EventPlacement, PositionsAfterATempoEventFollowTheNewTempo)
{
    // 4 beats of 22,050 frames, then 44,100 a beat at 60 BPM, then 14,700 at 180.
    EXPECT_EQ(framesOf(schedule("Loop1=1@6\ntempo=60@4\ntempo=180@8\nLoop1=0@9")),
              (std::vector<std::int64_t>{88200, 176400, 264600, 279300}));
    EXPECT_EQ(framesOf(schedule("tempo=60@4\nLoop1=1@6", 5.0)),
              (std::vector<std::int64_t>{0, 44100}))
        << "from a start past the change";
}

TEST(EventPlacement, AnUnknownParameterNamesItsEvent)
{
    auto events = parseTimeline("Loop1=1@1\n\nLoop2=1@2\n", "set.tl");
    try {
        EventSchedule(events, names(), hostcore::TempoMap(120.0), kRate, 0.0);
        FAIL();
    } catch (const pl3render::RenderError& error) {
        EXPECT_EQ(std::string(error.what())
                      .rfind("set.tl:3: 'Loop2=1@2': the plug-in has no "
                             "parameter 'Loop2' (it has 3: Loop1, ",
                             0),
                  0u)
            << error.what();
    }
}

TEST(EventTiming, AChangeIsDueAtTheFirstBlockStartingAtOrAfterIt)
{
    EventSchedule s = schedule("Loop1=1" + at(1024) + "\nLoop1=0" + at(1537));
    ASSERT_EQ(framesOf(s), (std::vector<std::int64_t>{1024, 1537}));
    EXPECT_TRUE(s.takeDue(0).empty());
    EXPECT_TRUE(s.takeDue(512).empty());
    EXPECT_EQ(s.takeDue(1024).size(), 1u) << "on the block start: this block";
    EXPECT_TRUE(s.takeDue(1536).empty()) << "one frame before the event: not yet";
    EXPECT_EQ(s.takeDue(2048).size(), 1u);
    EXPECT_TRUE(s.takeDue(1 << 20).empty()) << "each event is taken once";
    EXPECT_EQ(s.taken(), 2u);
}

TEST(EventTiming, SeveralDueTogetherComeInTimelineOrder)
{
    EventSchedule s = schedule("Value1=0@1\nLoop1=1@1\nFX1 sel=0.75@0.5");
    const auto due = s.takeDue(22050);
    ASSERT_EQ(due.size(), 3u);
    EXPECT_EQ(due[0].parameter, 2);
    EXPECT_EQ(due[1].parameter, 1);
    EXPECT_EQ(due[2].parameter, 0);
}

TEST(BlockPlans, RegularBlocksWithTheLastOneCut)
{
    const EventSchedule s = schedule("Loop1=1@0.01");
    EXPECT_EQ(s.blockPlan(1300, 512, false), (std::vector<std::int32_t>{512, 512, 276}));
    EXPECT_EQ(s.blockPlan(1024, 512, false), (std::vector<std::int32_t>{512, 512}));
    EXPECT_TRUE(s.blockPlan(0, 512, false).empty());
}

TEST(BlockPlans, ExactPlansEndABlockWhereAnEventFalls)
{
    // Frames 220 and 700 inside blocks, 1024 on a block start, 5000 past the end.
    const EventSchedule s = schedule("Loop1=1" + at(220) + "\nLoop1=0" + at(700) + "\nValue1=1" +
                                     at(1024) + "\nLoop1=1" + at(5000) + "\nFX1 sel=1@0");
    ASSERT_EQ(framesOf(s), (std::vector<std::int64_t>{0, 220, 700, 1024, 5000}));
    const auto plan = s.blockPlan(1300, 512, true);
    EXPECT_EQ(plan, (std::vector<std::int32_t>{220, 292, 188, 324, 276}));
    EXPECT_EQ(std::accumulate(plan.begin(), plan.end(), 0), 1300);
}

TEST(BlockPlans, EventsOnOneFrameSplitOnce)
{
    const EventSchedule s = schedule("Loop1=1@1\nValue1=0@1");
    EXPECT_EQ(s.blockPlan(30000, 16384, true), (std::vector<std::int32_t>{16384, 5666, 7950}));
}

TEST(TransportStart, RollsFromTheStartUnlessTheFirstTransportEventIsAPlay)
{
    EXPECT_TRUE(schedule("").rollsFromStart());
    EXPECT_TRUE(schedule("Loop1=1@1").rollsFromStart());
    EXPECT_TRUE(schedule("stop@4\nplay@8").rollsFromStart());
    EXPECT_FALSE(schedule("Loop1=1@1\nplay@2\nstop@4").rollsFromStart());
    EXPECT_FALSE(schedule("play@0").rollsFromStart());
}

} // namespace
