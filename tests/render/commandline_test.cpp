// The command line: defaults, every option in both spellings, the events it
// carries and the mistakes it refuses.
#include "commandline.h"

#include "rendererror.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pl3render::CommandLine;
using pl3render::parseCommandLine;
using pl3render::UsageError;

std::string refusal(const std::vector<std::string>& arguments)
{
    try {
        parseCommandLine(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(CommandLineParsing, DefaultsWithJustTheFiles)
{
    const CommandLine c = parseCommandLine({"in.wav", "out.wav"});
    EXPECT_EQ(c.input, "in.wav");
    EXPECT_EQ(c.output, "out.wav");
    EXPECT_TRUE(c.plugin.empty());
    EXPECT_EQ(c.blockSize, 512);
    EXPECT_EQ(c.tempo, 120.0);
    EXPECT_EQ(c.startBeat, 0.0);
    EXPECT_EQ(c.prerollSeconds, 0.0);
    EXPECT_FALSE(c.exact);
    EXPECT_TRUE(c.tempoValid);
    EXPECT_TRUE(c.ppqValid);
    EXPECT_TRUE(c.timeInfo);
    EXPECT_FALSE(c.quiet);
    EXPECT_FALSE(c.help);
    EXPECT_TRUE(c.events.empty());
    EXPECT_TRUE(c.timelineFiles.empty());
    EXPECT_TRUE(c.writeTimeline.empty());
    EXPECT_TRUE(c.renders());
}

TEST(CommandLineParsing, EveryOptionInBothSpellings)
{
    const CommandLine c = parseCommandLine(
        {"--plugin",        "/x/p.so",          "--block=64", "--tempo",    "96.5",
         "--start=8",       "--preroll",        "2",          "--exact",    "--no-tempo",
         "--no-ppq",        "--no-time-info",   "-q",         "--timeline", "a.tl",
         "--timeline=b.tl", "--write-timeline", "c.tl",       "in.flac",    "out.aiff"});
    EXPECT_EQ(c.plugin, "/x/p.so");
    EXPECT_EQ(c.blockSize, 64);
    EXPECT_EQ(c.tempo, 96.5);
    EXPECT_EQ(c.startBeat, 8.0);
    EXPECT_EQ(c.prerollSeconds, 2.0);
    EXPECT_TRUE(c.exact);
    EXPECT_FALSE(c.tempoValid);
    EXPECT_FALSE(c.ppqValid);
    EXPECT_FALSE(c.timeInfo);
    EXPECT_TRUE(c.quiet);
    EXPECT_EQ(c.timelineFiles, (std::vector<std::string>{"a.tl", "b.tl"}));
    EXPECT_EQ(c.writeTimeline, "c.tl");
    EXPECT_EQ(c.input, "in.flac");
    EXPECT_EQ(c.output, "out.aiff");
}

TEST(CommandLineParsing, EventsFromAtAndPositionalsInTheOrderGiven)
{
    const CommandLine c =
        parseCommandLine({"--at", "Loop1=1@4.5", "in.wav", "out.wav", "FX1 sel=0.5@2",
                          "--at=stop@9", "play@10", "--at=tempo=90@16"});
    ASSERT_EQ(c.events.size(), 5u);
    EXPECT_EQ(c.events[0].parameter, "Loop1");
    EXPECT_EQ(c.events[0].origin, "event 1");
    EXPECT_EQ(c.events[1].parameter, "FX1 sel");
    EXPECT_EQ(c.events[1].origin, "event 2");
    EXPECT_EQ(c.events[2].kind, pl3render::TimelineEvent::Kind::Stop);
    EXPECT_EQ(c.events[3].kind, pl3render::TimelineEvent::Kind::Play);
    EXPECT_EQ(c.events[3].origin, "event 4");
    EXPECT_EQ(c.events[4].kind, pl3render::TimelineEvent::Kind::Tempo);
    EXPECT_EQ(c.events[4].tempo, 90.0);
}

TEST(CommandLineParsing, DoubleDashEndsTheOptions)
{
    const CommandLine c = parseCommandLine({"--exact", "--", "-in.wav", "--out.wav"});
    EXPECT_EQ(c.input, "-in.wav");
    EXPECT_EQ(c.output, "--out.wav");
}

TEST(CommandLineParsing, HelpNeedsNothingElse)
{
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"in.wav", "-h"}).help);
}

TEST(CommandLineParsing, ListingParametersNeedsNoFiles)
{
    const CommandLine c = parseCommandLine({"--plugin", "x.so", "--list-parameters"});
    EXPECT_TRUE(c.listParameters);
    EXPECT_FALSE(c.renders());
    EXPECT_FALSE(parseCommandLine({"a.wav", "b.wav"}).listParameters);
}

TEST(CommandLineParsing, WritingATimelineNeedsNoAudio)
{
    const CommandLine c = parseCommandLine({"--at", "Loop1=1@4", "--write-timeline", "t.tl"});
    EXPECT_FALSE(c.renders());
    EXPECT_EQ(c.writeTimeline, "t.tl");
}

TEST(CommandLineParsing, MistakesAreRefusedWithAReason)
{
    EXPECT_EQ(refusal({}), "no input file given (see --help)");
    EXPECT_EQ(refusal({"in.wav"}), "no output file given after 'in.wav' (see --help)");
    EXPECT_EQ(refusal({"--fast", "in.wav", "out.wav"}), "unknown option '--fast' (see --help)");
    EXPECT_EQ(refusal({"in.wav", "out.wav", "--tempo"}), "--tempo needs a value (see --help)");
    EXPECT_EQ(refusal({"--tempo", "fast", "a", "b"}),
              "--tempo takes a number above 0 and at most 1000, not 'fast' (see --help)");
    EXPECT_EQ(refusal({"--tempo=0", "a", "b"}),
              "--tempo takes a number above 0 and at most 1000, not '0' (see --help)");
    EXPECT_EQ(refusal({"--tempo=1000.5", "a", "b"}),
              "--tempo takes a number above 0 and at most 1000, not '1000.5' (see --help)");
    EXPECT_EQ(refusal({"--start", "-1", "a", "b"}),
              "--start takes a number of at least 0, not '-1' (see --help)");
    EXPECT_EQ(refusal({"--preroll", "x", "a", "b"}),
              "--preroll takes a number of at least 0, not 'x' (see --help)");
    EXPECT_EQ(refusal({"--block", "0", "a", "b"}),
              "--block takes a whole number of frames from 1 to 1048576, not '0' (see --help)");
    EXPECT_EQ(refusal({"--block", "256.5", "a", "b"}),
              "--block takes a whole number of frames from 1 to 1048576, not '256.5' (see --help)");
    EXPECT_EQ(refusal({"a", "b", "Loop1=1@4", "Loop1=1"}),
              "event 2: 'Loop1=1': no position: expected NAME=VALUE@BEAT, tempo=BPM@BEAT, "
              "play@BEAT or stop@BEAT");
    EXPECT_EQ(refusal({"a", "b", "--at", "tempo=nan@4"}),
              "event 1: 'tempo=nan@4': tempo 'nan' is not a number");
}

} // namespace
