// The timeline syntax: events on the command line and in files, the messages
// for malformed ones, and the written form that reads back as the same events.
#include "timeline.h"

#include "rendererror.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pl3render::parseEvent;
using pl3render::parseTimeline;
using pl3render::RenderError;
using pl3render::TimelineEvent;
using Kind = TimelineEvent::Kind;

std::string messageFor(const std::string& text)
{
    try {
        parseEvent(text, "event 3");
    } catch (const RenderError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(TimelineEvents, ParameterNameValueAndPosition)
{
    const TimelineEvent event = parseEvent("Loop1=1@4.5", "event 1");
    EXPECT_EQ(event.kind, Kind::Parameter);
    EXPECT_EQ(event.parameter, "Loop1");
    EXPECT_EQ(event.value, 1.0f);
    EXPECT_EQ(event.beat, 4.5);
    EXPECT_EQ(event.origin, "event 1");
}

TEST(TimelineEvents, NamesWithSpacesQuotesIndicesAndPadding)
{
    EXPECT_EQ(parseEvent("FX1 sel=0.25@8", "e").parameter, "FX1 sel");
    EXPECT_EQ(parseEvent("\"FX2 sel\"=0.5@8", "e").parameter, "FX2 sel");
    EXPECT_EQ(parseEvent("FX3_sel=0.5@8", "e").parameter, "FX3_sel");
    EXPECT_EQ(parseEvent("20=0.75@8", "e").parameter, "20");
    const TimelineEvent padded = parseEvent("  pitch2 = 0.75 @ +12 ", "e");
    EXPECT_EQ(padded.parameter, "pitch2");
    EXPECT_EQ(padded.value, 0.75f);
    EXPECT_EQ(padded.beat, 12.0);
}

TEST(TimelineEvents, TransportEvents)
{
    const TimelineEvent play = parseEvent("play@2", "e");
    EXPECT_EQ(play.kind, Kind::Play);
    EXPECT_EQ(play.beat, 2.0);
    EXPECT_TRUE(play.parameter.empty());
    EXPECT_EQ(parseEvent("stop@16.25", "e").kind, Kind::Stop);
    const TimelineEvent tempo = parseEvent("tempo = 1000@16", "e");
    EXPECT_EQ(tempo.kind, Kind::Tempo);
    EXPECT_EQ(tempo.tempo, 1000.0);
    EXPECT_EQ(tempo.beat, 16.0);
    EXPECT_TRUE(tempo.parameter.empty());
    const TimelineEvent quoted = parseEvent("\"tempo\"=0.5@4", "e");
    EXPECT_EQ(quoted.kind, Kind::Parameter) << "a parameter called tempo, in quotes";
    EXPECT_EQ(quoted.parameter, "tempo");
}

TEST(TimelineEvents, ValuesAndPositionsAtTheirLimits)
{
    EXPECT_EQ(parseEvent("Value1=0@0", "e").value, 0.0f);
    EXPECT_EQ(parseEvent("Value1=1@0", "e").beat, 0.0);
    EXPECT_EQ(parseEvent("Value1=0.6666667@1e3", "e").value, 0.6666667f);
    EXPECT_EQ(parseEvent("Value1=0.6666667@1e3", "e").beat, 1000.0);
}

TEST(TimelineEvents, MalformedOnesSayWhereAndWhy)
{
    EXPECT_EQ(messageFor("Loop1=1"), "event 3: 'Loop1=1': no position: expected NAME=VALUE@BEAT, "
                                     "tempo=BPM@BEAT, play@BEAT or stop@BEAT");
    EXPECT_EQ(messageFor("Loop1=1@"), "event 3: 'Loop1=1@': no position after '@'");
    EXPECT_EQ(messageFor("Loop1=1@x"), "event 3: 'Loop1=1@x': position 'x' is not a number");
    EXPECT_EQ(messageFor("Loop1=1@4beats"),
              "event 3: 'Loop1=1@4beats': position '4beats' is not a number");
    EXPECT_EQ(messageFor("Loop1=1@-1"),
              "event 3: 'Loop1=1@-1': position -1 is before the song start");
    EXPECT_EQ(messageFor("Loop1=on@4"), "event 3: 'Loop1=on@4': value 'on' is not a number");
    EXPECT_EQ(messageFor("Loop1=@4"), "event 3: 'Loop1=@4': no value after '='");
    EXPECT_EQ(messageFor("Loop1=1.5@4"), "event 3: 'Loop1=1.5@4': value 1.5 is outside 0..1");
    EXPECT_EQ(messageFor("Loop1=-0.1@4"), "event 3: 'Loop1=-0.1@4': value -0.1 is outside 0..1");
    EXPECT_EQ(messageFor("=1@4"), "event 3: '=1@4': no parameter before '='");
    EXPECT_EQ(messageFor("pause@4"), "event 3: 'pause@4': expected NAME=VALUE@BEAT, "
                                     "tempo=BPM@BEAT, play@BEAT or stop@BEAT");
    EXPECT_EQ(messageFor("Loop1=1@inf"), "event 3: 'Loop1=1@inf': position 'inf' is not a number");
    EXPECT_EQ(messageFor("Loop1=nan@4"), "event 3: 'Loop1=nan@4': value 'nan' is not a number");
    EXPECT_EQ(messageFor("tempo=@4"), "event 3: 'tempo=@4': no tempo after '='");
    EXPECT_EQ(messageFor("tempo=fast@4"), "event 3: 'tempo=fast@4': tempo 'fast' is not a number");
    EXPECT_EQ(messageFor("tempo=inf@4"), "event 3: 'tempo=inf@4': tempo 'inf' is not a number");
    EXPECT_EQ(messageFor("tempo=0@4"),
              "event 3: 'tempo=0@4': tempo 0 must be above 0 and at most 1000 BPM");
    EXPECT_EQ(messageFor("tempo=-90@4"),
              "event 3: 'tempo=-90@4': tempo -90 must be above 0 and at most 1000 BPM");
    EXPECT_EQ(messageFor("tempo=1e6@4"),
              "event 3: 'tempo=1e6@4': tempo 1e6 must be above 0 and at most 1000 BPM");
    EXPECT_EQ(messageFor("tempo=90@-1"),
              "event 3: 'tempo=90@-1': position -1 is before the song start");
}

TEST(TimelineFiles, CommentsAndBlankLinesAreSkipped)
{
    const auto events = parseTimeline("# a demo\n"
                                      "\n"
                                      "Loop1=1@4.5   # capture at beat 5\n"
                                      "   \t\n"
                                      "stop@12\r\n"
                                      "FX1 sel=0.25@2",
                                      "demo.timeline");
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].origin, "demo.timeline:3");
    EXPECT_EQ(events[0].note, "capture at beat 5");
    EXPECT_EQ(events[1].note, "");
    EXPECT_EQ(events[1].kind, Kind::Stop);
    EXPECT_EQ(events[1].origin, "demo.timeline:5");
    EXPECT_EQ(events[2].parameter, "FX1 sel");
    EXPECT_EQ(events[2].origin, "demo.timeline:6");
    EXPECT_TRUE(parseTimeline("", "empty").empty());
    EXPECT_TRUE(parseTimeline("# only a comment\n\n", "c").empty());
}

TEST(TimelineFiles, AnErrorNamesFileAndLine)
{
    try {
        parseTimeline("Loop1=1@4\n# fine\nLoop1=0@x\n", "set.timeline");
        FAIL() << "accepted a malformed line";
    } catch (const RenderError& error) {
        EXPECT_STREQ(error.what(), "set.timeline:3: 'Loop1=0@x': position 'x' is not a number");
    }
}

TEST(TimelineFiles, WrittenFormReadsBackAsTheSameEvents)
{
    const auto events = parseTimeline("Value1=0.6666667@0.1\n"
                                      "FX1 sel=0.33333334@3.3333333333333335\n"
                                      "FX2_sel=0.1@7\n"
                                      "17=1@1e-9\n"
                                      "play@4\n"
                                      "stop@1234.5678  #  the end # really\n"
                                      "pitch1=0.7071068@99.99\n"
                                      "tempo=133.33333333333334@8\n",
                                      "original");
    const std::string written = pl3render::formatTimeline(events);
    const auto reread = parseTimeline(written, "written");
    EXPECT_EQ(reread, events);
    ASSERT_EQ(reread.size(), 8u);
    EXPECT_EQ(reread[5].note, "the end # really");
    EXPECT_EQ(pl3render::formatTimeline(reread), written) << "writing is stable";
    EXPECT_EQ(pl3render::formatEvent(events[0]), "Value1=0.6666667@0.1");
    EXPECT_EQ(pl3render::formatEvent(events[4]), "play@4");
    EXPECT_EQ(pl3render::formatEvent(events[7]), "tempo=133.33333333333334@8");
}

TEST(TimelineFiles, EventsSortByPositionKeepingTheGivenOrderAtOnePosition)
{
    auto events = parseTimeline("Loop1=0@8\nValue1=0@4\nLoop1=1@4\nplay@0\nstop@4\n", "t");
    pl3render::sortByPosition(events);
    std::vector<std::string> order;
    for (const auto& event : events)
        order.push_back(pl3render::formatEvent(event));
    EXPECT_EQ(order, (std::vector<std::string>{"play@0", "Value1=0@4", "Loop1=1@4", "stop@4",
                                               "Loop1=0@8"}));
}

} // namespace
