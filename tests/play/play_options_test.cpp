// The play tool's command line, parsed in the test process.
#include "midiinput.h"
#include "playoptions.h"
#include "rendererror.h"
#include "soundoutput.h"

#include <gtest/gtest.h>

namespace {

using pl3play::parsePlayOptions;
using pl3play::PlayOptions;

TEST(PlayOptions, DefaultsAreASessionWithTheEditorAtTheUsualSettings)
{
    const PlayOptions o = parsePlayOptions({});
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.plugin, "");
    EXPECT_EQ(o.input, "");
    EXPECT_EQ(o.output, "pravolindel3-play.wav");
    EXPECT_EQ(o.tempo, 120.0);
    EXPECT_EQ(o.rate, 44100);
    EXPECT_FALSE(o.rateGiven);
    EXPECT_EQ(o.blockSize, 256);
    EXPECT_FALSE(o.limited());
    EXPECT_EQ(o.windowX, 100);
    EXPECT_EQ(o.windowY, 100);
    EXPECT_EQ(o.eventsFile, "");
    EXPECT_TRUE(o.editor);
    EXPECT_FALSE(o.takesNotes());
    EXPECT_EQ(o.audioDevice, pl3play::kSoundOutputBuiltIn ? "default" : "none");
}

TEST(PlayOptions, EveryOptionTakesItsValueAfterItOrAfterAnEqualsSign)
{
    const PlayOptions o =
        parsePlayOptions({"--plugin", "p.so", "--input=in.flac", "--output", "o.wav", "--tempo",
                          "96.5", "--rate=48000", "--block", "64", "--seconds", "2.5", "--geometry",
                          "+0+33", "--events", "e.txt", "--audio", "none", "--no-editor"});
    EXPECT_EQ(o.plugin, "p.so");
    EXPECT_EQ(o.input, "in.flac");
    EXPECT_EQ(o.output, "o.wav");
    EXPECT_EQ(o.tempo, 96.5);
    EXPECT_EQ(o.rate, 48000);
    EXPECT_TRUE(o.rateGiven);
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_EQ(o.seconds, 2.5);
    EXPECT_TRUE(o.limited());
    EXPECT_EQ(o.windowX, 0);
    EXPECT_EQ(o.windowY, 33);
    EXPECT_EQ(o.eventsFile, "e.txt");
    EXPECT_FALSE(o.audible());
    EXPECT_FALSE(o.editor);
}

TEST(PlayOptions, RangesHoldAtTheirEnds)
{
    EXPECT_EQ(parsePlayOptions({"--tempo", "20"}).tempo, 20.0);
    EXPECT_EQ(parsePlayOptions({"--tempo", "400"}).tempo, 400.0);
    EXPECT_THROW(parsePlayOptions({"--tempo", "19.99"}), pl3render::UsageError);
    EXPECT_THROW(parsePlayOptions({"--tempo", "400.01"}), pl3render::UsageError);
    EXPECT_EQ(parsePlayOptions({"--block", "16"}).blockSize, 16);
    EXPECT_EQ(parsePlayOptions({"--block", "16384"}).blockSize, 16384);
    EXPECT_THROW(parsePlayOptions({"--block", "15"}), pl3render::UsageError);
    EXPECT_THROW(parsePlayOptions({"--block", "16385"}), pl3render::UsageError);
    EXPECT_EQ(parsePlayOptions({"--rate", "8000"}).rate, 8000);
    EXPECT_EQ(parsePlayOptions({"--rate", "192000"}).rate, 192000);
    EXPECT_THROW(parsePlayOptions({"--rate", "7999"}), pl3render::UsageError);
    EXPECT_THROW(parsePlayOptions({"--rate", "192001"}), pl3render::UsageError);
    EXPECT_EQ(parsePlayOptions({"--geometry", "+32767+0"}).windowX, 32767);
    EXPECT_THROW(parsePlayOptions({"--geometry", "+32768+0"}), pl3render::UsageError);
}

TEST(PlayOptions, MalformedValuesAreUsageErrors)
{
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--seconds", "0"},
                                               {"--seconds", "nan"},
                                               {"--block", "2.5"},
                                               {"--geometry", "10+10"},
                                               {"--geometry", "+10+"},
                                               {"--geometry", "+10++10"},
                                               {"--geometry", "+1+2+3"},
                                               {"--input"},
                                               {"--no-editor=1"},
                                               {"-"},
                                               {"file.wav"}}) {
        SCOPED_TRACE(bad.front());
        EXPECT_THROW(parsePlayOptions(bad), pl3render::UsageError);
    }
}

TEST(PlayOptions, HelpStopsTheParse)
{
    EXPECT_TRUE(parsePlayOptions({"--help", "--bogus"}).help);
    EXPECT_TRUE(parsePlayOptions({"-h"}).help);
}

TEST(PlayOptions, AnAudioDeviceNeedsSoundOutputBuiltIn)
{
    if (pl3play::kSoundOutputBuiltIn) {
        EXPECT_EQ(parsePlayOptions({"--audio", "hw:1,0"}).audioDevice, "hw:1,0");
    } else {
        EXPECT_THROW(parsePlayOptions({"--audio", "hw:1,0"}), pl3render::UsageError);
    }
    EXPECT_EQ(parsePlayOptions({"--audio", "none"}).audioDevice, "none");
}

TEST(PlayOptions, ANotesFileIsTakenAsItIsNamed)
{
    const PlayOptions o = parsePlayOptions({"--midi-file=n.txt"});
    EXPECT_EQ(o.midiFile, "n.txt");
    EXPECT_FALSE(o.midiPort);
    EXPECT_TRUE(o.takesNotes());
    EXPECT_THROW(parsePlayOptions({"--midi-file"}), pl3render::UsageError);
}

TEST(PlayOptions, AMidiPortNeedsMidiInputBuiltIn)
{
    if (pl3play::kMidiInputBuiltIn) {
        const PlayOptions o = parsePlayOptions({"--midi-port"});
        EXPECT_TRUE(o.midiPort);
        EXPECT_TRUE(o.takesNotes());
    } else {
        EXPECT_THROW(parsePlayOptions({"--midi-port"}), pl3render::UsageError);
    }
}

} // namespace
