// MIDI notes playing the loop, FX and reverse buttons through the real library:
// where in a block a note lands, what it switches, and what it leaves alone.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

using looperrig::kFadeFrames;
using looperrig::LooperRig;

namespace {

constexpr size_t kBeat = 22050; // 44,100 Hz at 120 BPM
constexpr size_t kBar = 4 * kBeat;
constexpr size_t kQuarterBeat = 5512; // Loop4's default "1/4 beat"

constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kHoldLoop1 = 36;
constexpr uint8_t kHoldLoop4 = 39;
constexpr uint8_t kToggleLoop1 = 48;

// The first beat boundary at or after frame f.
size_t boundaryFrom(size_t f)
{
    return (f + kBeat - 1) / kBeat * kBeat;
}

// The three ways of playing Loop1: held by its note, held with a velocity-0
// note-on for its release, and latched by the toggle note.
enum class Press { Held, VelocityZero, Toggled };

const char* nameOf(Press press)
{
    switch (press) {
    case Press::Held:
        return "Held";
    case Press::VelocityZero:
        return "VelocityZero";
    case Press::Toggled:
        return "Toggled";
    }
    return "";
}

void PrintTo(Press press, std::ostream* out)
{
    *out << nameOf(press);
}

// Loop1 on at frame `on` and off at frame `off`, on assorted channels.
void playLoop1(LooperRig& rig, Press press, size_t on, size_t off)
{
    switch (press) {
    case Press::Held:
        rig.sendAt(on, kNoteOn, kHoldLoop1, 100);
        rig.sendAt(off, kNoteOff, kHoldLoop1, 64);
        break;
    case Press::VelocityZero:
        rig.sendAt(on, kNoteOn | 5, kHoldLoop1, 1);
        rig.sendAt(off, kNoteOn | 5, kHoldLoop1, 0);
        break;
    case Press::Toggled:
        rig.sendAt(on, kNoteOn | 15, kToggleLoop1, 127);
        // Letting go of the key leaves the loop latched.
        rig.sendAt(on + 1000, kNoteOff | 15, kToggleLoop1, 0);
        rig.sendAt(on + 1001, kNoteOn | 15, kToggleLoop1, 0);
        rig.sendAt(off, kNoteOn | 15, kToggleLoop1, 90);
        break;
    }
}

class LooperNotes : public testing::TestWithParam<std::tuple<Press, VstInt32, size_t>> {};

// "1 bar" captures on the first boundary at or after its note and stops on the
// first one at or after the note that ends it, wherever the notes fall in
// their blocks.
TEST_P(LooperNotes, Loop1CapturesAndStopsOnTheBeatsAfterItsNotes)
{
    const auto [press, blockSize, on] = GetParam();
    const size_t off = on + 5 * kBeat;
    const size_t capture = boundaryFrom(on);
    const size_t stop = boundaryFrom(off);
    const size_t end = stop + kBeat;
    LooperRig rig(end, 44100.0, 120.0, blockSize);
    rig.host.transport().play();
    playLoop1(rig, press, on, off);

    rig.renderTo(off);
    EXPECT_EQ(rig.plugin->getParameter(0), 1.0f);
    rig.renderTo(end);
    EXPECT_EQ(rig.plugin->getParameter(0), 0.0f);

    for (size_t f = 0; f < capture; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(capture, stop,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
    for (size_t f = stop + kFadeFrames; f < end; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    EXPECT_TRUE(rig.host.automations().empty()) << "notes are playing, not edits to record";
}

// Block sizes and note frames that put the notes at the start, the middle and
// the end of their blocks, one frame before a beat boundary, on it and one
// frame after it, and in blocks that hold a boundary before the note.
INSTANTIATE_TEST_SUITE_P(
    Blocks, LooperNotes,
    testing::Combine(testing::Values(Press::Held, Press::VelocityZero, Press::Toggled),
                     testing::Values(64, 441, 4096),
                     testing::Values(4 * kBeat - 1, 4 * kBeat, 4 * kBeat + 1, 100001)),
    [](const auto& info) {
        return std::string(nameOf(std::get<0>(info.param))) + "_Block" +
               std::to_string(std::get<1>(info.param)) + "_At" +
               std::to_string(std::get<2>(info.param));
    });

class LooperSubBeatNote : public testing::TestWithParam<std::tuple<VstInt32, size_t>> {};

// A loop shorter than a beat captures on its note's own frame if that lies
// within the loop's length after a boundary, else on the next boundary; a
// block that starts earlier in the beat, or in the beat before, changes nothing.
TEST_P(LooperSubBeatNote, CapturesAtTheNotesOwnFrame)
{
    const auto [blockSize, phase] = GetParam();
    const size_t beatStart = 3 * kBeat;
    const size_t end = 200000;
    LooperRig rig(end, 44100.0, 120.0, blockSize);
    rig.host.transport().play();
    rig.sendAt(beatStart + phase, kNoteOn, kHoldLoop4, 100);
    rig.renderTo(end);

    const size_t loopBeat = phase < kQuarterBeat ? beatStart : beatStart + kBeat;
    // The stretch since the boundary plays on as it comes in, then repeats.
    for (size_t f = 0; f < loopBeat + kQuarterBeat; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(loopBeat + kQuarterBeat, end, [&](size_t f) {
        return int64_t(loopBeat + (f - loopBeat - kQuarterBeat) % kQuarterBeat);
    });
}

INSTANTIATE_TEST_SUITE_P(Blocks, LooperSubBeatNote,
                         testing::Combine(testing::Values(64, 4096, 8192),
                                          testing::Values(0, 1000, kQuarterBeat - 1,
                                                          kQuarterBeat)));

TEST(LooperNoteButtons, NotesPlayTheFxAndReverseButtonsToo)
{
    LooperRig rig(4096);
    rig.sendAt(10, kNoteOn, 40, 100);     // FX1 held
    rig.sendAt(20, kNoteOn, 47, 100);     // rev4 held
    rig.sendAt(30, kNoteOn, 53, 100);     // FX2 toggled
    rig.sendAt(40, kNoteOn, 56, 100);     // rev1 toggled
    rig.sendAt(2000, kNoteOff, 40, 0);    // FX1 let go
    rig.sendAt(2000, kNoteOn, 56, 100);   // rev1 toggled back
    rig.renderTo(1024);
    for (VstInt32 index : {16, 15, 17, 12})
        EXPECT_EQ(rig.plugin->getParameter(index), 1.0f) << index;
    rig.renderTo(4096);
    for (VstInt32 index : {15, 17})
        EXPECT_EQ(rig.plugin->getParameter(index), 1.0f) << index;
    for (VstInt32 index : {16, 12})
        EXPECT_EQ(rig.plugin->getParameter(index), 0.0f) << index;
}

// Every parameter as a fresh engine has it.
std::vector<float> parametersOf(hostcore::LoadedPlugin& plugin)
{
    std::vector<float> values;
    for (VstInt32 index = 0; index < 24; ++index)
        values.push_back(plugin.getParameter(index));
    return values;
}

TEST(LooperNoteButtons, OtherMessagesAndNotesChangeNothing)
{
    LooperRig rig(4 * kBeat);
    const std::vector<float> fresh = parametersOf(*rig.plugin);
    rig.host.transport().play();
    const uint8_t others[][3] = {
        {0xb0, kHoldLoop1, 127},  {0xb0, kToggleLoop1, 127}, {0xe0, kHoldLoop1, 100},
        {0xa0, kHoldLoop1, 100},  {0xd0, kHoldLoop1, 0},     {0xc0, kHoldLoop1, 0},
        {0xf0, kHoldLoop1, 100},  {0xf8, kHoldLoop1, 100},   {kNoteOn, 35, 100},
        {kNoteOn, 60, 100},       {kNoteOn, 127, 100},       {kNoteOff, kToggleLoop1, 0},
        {kNoteOn, kHoldLoop1 | 0x80, 100},
    };
    size_t frame = 100;
    for (const auto& message : others)
        rig.sendAt(frame += 997, message[0], message[1], message[2]);
    rig.renderTo(4 * kBeat);
    for (size_t f = 0; f < 4 * kBeat; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    EXPECT_EQ(parametersOf(*rig.plugin), fresh);
}

// An event as a host would send it, or not quite.
VstMidiEvent midiEvent(uint8_t status, uint8_t note, uint8_t velocity, VstInt32 deltaFrames)
{
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = deltaFrames;
    event.midiData[0] = char(status);
    event.midiData[1] = char(note);
    event.midiData[2] = char(velocity);
    return event;
}

// A list with room for exactly `capacity` pointers, so that reading past them
// is a heap overflow the sanitizers report.
template <size_t capacity> struct EventList {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[capacity] = {};
};

VstEvent* asEvent(VstMidiEvent& event)
{
    return reinterpret_cast<VstEvent*>(&event);
}

// Each malformed event names a button of its own; only the one good note may
// switch its button.
TEST(LooperNoteButtons, MalformedEventsAreDroppedOneByOne)
{
    constexpr VstInt32 kFrames = 512;
    LooperRig rig(2 * kFrames, 44100.0, 120.0, kFrames);
    rig.host.transport().play();
    EXPECT_EQ(rig.plugin->dispatch(effProcessEvents, 0, 0, nullptr), 1);

    VstMidiEvent sysEx = midiEvent(kNoteOn, 37, 100, 0); // Loop2
    sysEx.type = kVstSysExType;
    VstMidiEvent tooSmall = midiEvent(kNoteOn, 38, 100, 0); // Loop3
    tooSmall.byteSize = 8;
    VstMidiEvent early = midiEvent(kNoteOn, 40, 100, -1);     // FX1
    VstMidiEvent late = midiEvent(kNoteOn, 41, 100, kFrames); // FX2, the next block's start
    VstMidiEvent good = midiEvent(kNoteOn, kHoldLoop1, 100, kFrames - 1);
    auto list = std::make_unique<EventList<6>>();
    list->numEvents = 6;
    VstEvent* entries[] = {nullptr, asEvent(sysEx), asEvent(tooSmall),
                           asEvent(early), asEvent(late), asEvent(good)};
    std::copy(std::begin(entries), std::end(entries), list->events);
    rig.plugin->dispatch(effProcessEvents, 0, 0, list.get());

    VstMidiEvent negativeCount = midiEvent(kNoteOn, 42, 100, 0); // FX3
    auto negative = std::make_unique<EventList<2>>();
    negative->numEvents = -1;
    negative->events[0] = negative->events[1] = asEvent(negativeCount);
    rig.plugin->dispatch(effProcessEvents, 0, 0, negative.get());

    // A count beyond reason: the list is read no further than the engine's cap.
    constexpr size_t kCap = 512;
    VstMidiEvent controller = midiEvent(0xb0, 43, 100, 0);
    VstMidiEvent lastRead = midiEvent(kNoteOn, 44, 100, 0); // rev1
    auto huge = std::make_unique<EventList<kCap>>();
    huge->numEvents = INT_MAX;
    std::fill(std::begin(huge->events), std::end(huge->events), asEvent(controller));
    huge->events[kCap - 1] = asEvent(lastRead);
    rig.plugin->dispatch(effProcessEvents, 0, 0, huge.get());

    rig.processBlock(kFrames);
    rig.processBlock(kFrames);
    EXPECT_EQ(rig.plugin->getParameter(0), 1.0f);
    EXPECT_EQ(rig.plugin->getParameter(12), 1.0f);
    for (VstInt32 index : {1, 2, 16, 17, 18, 19})
        EXPECT_EQ(rig.plugin->getParameter(index), 0.0f) << index;
}

} // namespace
