// The plug-in's note map played from a notes file through the program, headless, over an input
// whose frames all differ. Each switch is found in the recorded output frame for frame, where
// the looper's rules put it for a note at its beat: a loop captures on the beat grid (a loop
// shorter than a beat at the note's own frame) and stops on it, a reverse turns on it, an
// effect comes and goes on the note's frame; a toggle holds until its second press.
#include "playaudio.h"
#include "playprogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace playtest;

constexpr int kRate = 8000;
constexpr double kTempo = 400.0;
constexpr long long kBeat = 1200; // frames: whole, so that a "1 beat" loop is not shorter
constexpr double kSongBeats = 11.0;
// The looper crossfades over at most this many frames from each capture, wrap and stop.
constexpr long long kFadeFrames = 64;

// The program's default loop sizes: "1 bar", "1 beat", "3/4 beat", "1/4 beat".
constexpr double kDefaultBeats[4] = {4.0, 1.0, 0.75, 0.25};

// The loop is held from kLoopOn to kLoopOff; an effect or reverse switch, from kSwitchOn to
// kSwitchOff. kLoopOn lies within the shortest loop's length after a beat, and the switch's
// beats away from every loop's wraps and their crossfades.
constexpr double kLoopOn = 3.125;
constexpr double kLoopOff = 9.5;
constexpr double kSwitchOn = 5.625;
constexpr double kSwitchOff = 7.625;

enum class Kind { Loop, Fx, Reverse };
// The notes that hold loop 1's switch of each kind; the next three are loops 2 to 4, and twelve
// above them the same switches toggle.
constexpr int kHoldNotes[] = {36, 40, 44};
constexpr int kToggleOffset = 12;

struct SwitchCase {
    std::string name;
    Kind kind;
    int loop;
    bool toggled;
    bool releasedByVelocityZero = false;
};

void PrintTo(const SwitchCase& c, std::ostream* out)
{
    *out << c.name;
}

long long frameAt(double beat)
{
    return std::llround(beat * kBeat);
}

long long nextBeatFrom(long long frame)
{
    return (frame + kBeat - 1) / kBeat * kBeat;
}

// A toggle flips at each note-on; its note-offs, a quarter beat later, must change nothing.
std::string press(double on, double off, int note, bool toggled, bool velocityZero)
{
    std::ostringstream lines;
    lines << on << " on " << note << "\n";
    if (toggled)
        lines << on + 0.25 << " off " << note << "\n"
              << off << " on " << note << "\n"
              << off + 0.25 << " off " << note << "\n";
    else if (velocityZero)
        lines << off << " on " << note << " 0\n";
    else
        lines << off << " off " << note << "\n";
    return lines.str();
}

std::string notesFor(const SwitchCase& c)
{
    const int note =
        kHoldNotes[static_cast<int>(c.kind)] + c.loop + (c.toggled ? kToggleOffset : 0);
    const std::string heading = "# " + c.name + "\n";
    if (c.kind == Kind::Loop)
        return heading + press(kLoopOn, kLoopOff, note, c.toggled, c.releasedByVelocityZero);
    return heading + press(kLoopOn, kLoopOff, kHoldNotes[0] + c.loop, false, false) +
           press(kSwitchOn, kSwitchOff, note, c.toggled, c.releasedByVelocityZero);
}

// The song frame each output frame plays while loop `loop` is held from kLoopOn to kLoopOff
// and its play direction turns on the frames `turns`; nothing while a crossfade mixes two.
std::vector<std::optional<long long>> expectedSources(int loop, long long frames,
                                                      const std::vector<long long>& turns)
{
    const auto length = static_cast<long long>(kDefaultBeats[loop] * kBeat);
    const long long on = frameAt(kLoopOn);
    const long long stop = nextBeatFrom(frameAt(kLoopOff));
    // A loop of a beat or more captures at the next beat the stretch before it. A shorter one
    // plays from a beat on: the one before the note if the note falls within its length of
    // it, else the next.
    long long start = nextBeatFrom(on);
    long long origin = start - length;
    if (length < kBeat) {
        const long long beatBefore = on - on % kBeat;
        start = on - beatBefore < length ? on : beatBefore + kBeat;
        origin = start - start % kBeat;
    }
    std::vector<std::optional<long long>> sources(static_cast<std::size_t>(frames));
    long long position = (start - origin) % length;
    bool backward = false;
    long long fadeEnd = 0;
    for (long long f = 0; f < frames; ++f) {
        if (f == start || f == stop) fadeEnd = f + kFadeFrames;
        const bool looping = f >= start && f < stop;
        if (looping) {
            if (std::find(turns.begin(), turns.end(), f) != turns.end()) backward = !backward;
            // Backward play that ends on frame -1 goes on forward from the loop's start.
            if (!backward && position < 0) position = 0;
            if ((!backward && position >= length) || (backward && position < 0)) {
                position = backward ? length - 1 : 0;
                fadeEnd = f + kFadeFrames;
            }
        }
        if (f >= fadeEnd) sources[static_cast<std::size_t>(f)] = looping ? origin + position : f;
        if (looping) position += backward ? -1 : 1;
    }
    return sources;
}

class PlayMidi : public testing::TestWithParam<SwitchCase> {};

TEST_P(PlayMidi, TheSwitchLandsWhereTheLoopersRulesPutIt)
{
    const SwitchCase& c = GetParam();
    ScratchFolder folder;
    const auto songFrames = static_cast<long long>(kSongBeats * kBeat);
    // Longer than the session: output frame f passes input frame f through.
    const Audio input = distinctFrames(2, static_cast<std::size_t>(2 * songFrames), kRate);
    writeWav(folder.file("in.wav"), input);
    folder.writeText("notes.txt", notesFor(c));
    const ProgramRun run =
        runPlay({"--no-editor", "--audio", "none", "--input", "in.wav", "--tempo", "400",
                 "--seconds", std::to_string(kSongBeats * 60.0 / kTempo), "--midi-file",
                 "notes.txt", "--output", "out.wav"},
                folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = readAudio(folder.file("out.wav"));
    ASSERT_GE(static_cast<long long>(output.frames()), songFrames);

    const long long switchOn = frameAt(kSwitchOn);
    const long long switchOff = frameAt(kSwitchOff);
    std::vector<long long> turns;
    if (c.kind == Kind::Reverse) turns = {nextBeatFrom(switchOn), nextBeatFrom(switchOff)};
    const auto sources = expectedSources(c.loop, songFrames, turns);
    std::vector<long long> departures; // frames that are not the song frame expected
    for (long long f = 0; f < songFrames; ++f) {
        const auto& source = sources[static_cast<std::size_t>(f)];
        if (source && !sameFrame(output, static_cast<std::size_t>(f), input,
                                 static_cast<std::size_t>(*source)))
            departures.push_back(f);
    }
    SCOPED_TRACE(notesFor(c));
    if (c.kind != Kind::Fx) {
        EXPECT_TRUE(departures.empty())
            << departures.size() << " frames differ, the first " << departures.front()
            << ", which should play song frame " << *sources[std::size_t(departures.front())];
        return;
    }
    // The effect is heard from the note-on's frame up to the note-off's, and changes the
    // loop's sound in most of them.
    ASSERT_FALSE(departures.empty()) << "the effect changed nothing";
    EXPECT_EQ(departures.front(), switchOn);
    EXPECT_LT(departures.back(), switchOff);
    EXPECT_GT(static_cast<long long>(departures.size()), (switchOff - switchOn) / 2);
}

std::vector<SwitchCase> everySwitch()
{
    const char* const kinds[] = {"", "Fx", "Reverse"};
    std::vector<SwitchCase> cases;
    for (const Kind kind : {Kind::Loop, Kind::Fx, Kind::Reverse})
        for (int loop = 0; loop < 4; ++loop)
            for (const bool toggled : {false, true})
                cases.push_back({"Loop" + std::to_string(loop + 1) + kinds[static_cast<int>(kind)] +
                                     (toggled ? "Toggled" : "Held"),
                                 kind, loop, toggled});
    cases.push_back({"Loop2ReleasedByVelocityZero", Kind::Loop, 1, false, true});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(NoteMap, PlayMidi, testing::ValuesIn(everySwitch()),
                         [](const testing::TestParamInfo<SwitchCase>& info) {
                             return info.param.name;
                         });

} // namespace
