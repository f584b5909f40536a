// The notes that go to the plug-in: the notes file read line by line, its beats put on the
// frame grid, each block's notes gathered from the file and the live queue, and the queue
// between the MIDI reader and the audio thread.
#include "notefeed.h"
#include "notering.h"
#include "notesfile.h"
#include "rendererror.h"

#include <gtest/gtest.h>

#include <barrier>
#include <cmath>
#include <sstream>
#include <thread>

namespace {

using pl3play::LiveNote;
using pl3play::NoteEvent;
using pl3play::NoteFeed;
using pl3play::NoteRing;
using pl3play::NotesFile;
using pl3play::ScheduledNote;
using pl3play::TimedNote;

std::vector<TimedNote> parse(const std::string& text)
{
    std::istringstream stream(text);
    return pl3play::parseNotes(stream, "n.txt");
}

struct GoodLine {
    std::string line;
    double beat;
    std::uint8_t status;
    std::uint8_t note;
    std::uint8_t velocity;
};

class NotesFileGoodLine : public testing::TestWithParam<GoodLine> {};

TEST_P(NotesFileGoodLine, GivesOneNote)
{
    const GoodLine& expected = GetParam();
    const auto notes = parse("# a rehearsal\n\n" + expected.line + "\n");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].beat, expected.beat);
    EXPECT_EQ(notes[0].event.status, expected.status);
    EXPECT_EQ(notes[0].event.note, expected.note);
    EXPECT_EQ(notes[0].event.velocity, expected.velocity);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NotesFileGoodLine,
    testing::Values(
        GoodLine{"4.5 on 36", 4.5, NotesFile::kNoteOn, 36, NotesFile::kDefaultOnVelocity},
        GoodLine{"4.5 off 36", 4.5, NotesFile::kNoteOff, 36, NotesFile::kDefaultOffVelocity},
        GoodLine{"0 on 0 0", 0.0, NotesFile::kNoteOn, 0, 0},
        GoodLine{"  12   off 127 127  # the last", 12.0, NotesFile::kNoteOff, 127, 127},
        GoodLine{"7.25\ton\t48\t90\r", 7.25, NotesFile::kNoteOn, 48, 90},
        GoodLine{"10000000 on 59 1", NotesFile::kMaxBeat, NotesFile::kNoteOn, 59, 1}));

struct BadLine {
    std::string line;
    std::string named; // what the diagnostic quotes
};

class NotesFileBadLine : public testing::TestWithParam<BadLine> {};

// The first bad line stops the reading; its diagnostic names the file and the line.
TEST_P(NotesFileBadLine, IsOneDiagnosticNamingFileAndLine)
{
    const BadLine& bad = GetParam();
    try {
        parse("# a rehearsal\n1 on 36\n" + bad.line + "\n2 off 36\n");
        FAIL() << "accepted";
    } catch (const pl3render::UsageError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("notes file 'n.txt' line 3: ", 0), 0u) << message;
        EXPECT_NE(message.find("'" + bad.named + "'"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NotesFileBadLine,
    testing::Values(BadLine{"4.5 on", "4.5 on"}, BadLine{"4.5 on 36 100 1", "4.5 on 36 100 1"},
                    BadLine{"-1 on 36", "-1"}, BadLine{"x on 36", "x"}, BadLine{"nan on 36", "nan"},
                    BadLine{"10000001 on 36", "10000001"}, BadLine{"4 of 36", "of"},
                    BadLine{"4 ON 36", "ON"}, BadLine{"4 on 128", "128"},
                    BadLine{"4 on 36.5", "36.5"}, BadLine{"4 on 36 128", "128"},
                    BadLine{"4 off 36 -1", "-1"}));

TEST(NotesFile, NotesComeInBeatOrderAndInFileOrderOnOneBeat)
{
    const auto notes = parse("2 on 37\n1 on 36\n2 off 36\n1.5 on 38\n");
    ASSERT_EQ(notes.size(), 4u);
    const std::vector<std::pair<double, int>> order = {{1, 36}, {1.5, 38}, {2, 37}, {2, 36}};
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(notes[i].beat, order[i].first) << i;
        EXPECT_EQ(notes[i].event.note, order[i].second) << i;
    }
    EXPECT_TRUE(parse("# nothing\n\n   \n").empty());
}

TEST(NotesFile, AFileThatCannotBeReadIsARenderErrorNamingIt)
{
    try {
        pl3play::readNotesFile("/nonexistent/notes.txt");
        FAIL() << "read";
    } catch (const pl3render::UsageError&) {
        FAIL() << "not a command line error";
    } catch (const pl3render::RenderError& error) {
        EXPECT_NE(std::string(error.what()).find("/nonexistent/notes.txt"), std::string::npos);
    }
}

struct Grid {
    double tempo;
    int rate;
};

class NotesFileGrid : public testing::TestWithParam<Grid> {};

// The frame of a beat is the first whose song position reaches it, whether the beat's length
// is a whole number of frames or not.
TEST_P(NotesFileGrid, ABeatFallsOnTheFirstFrameThatReachesIt)
{
    const Grid grid = GetParam();
    const double framesPerBeat = 60.0 * grid.rate / grid.tempo;
    for (const double beat : {0.0, 0.25, 1.0, 4.5, 7.0 / 3.0, 1000.125}) {
        const std::int64_t frame = pl3play::frameOfBeat(beat, grid.tempo, grid.rate);
        const double exact = beat * framesPerBeat;
        EXPECT_GE(static_cast<double>(frame), exact - 1e-6) << beat;
        EXPECT_LT(static_cast<double>(frame) - 1.0, exact) << beat;
        if (exact == std::floor(exact)) {
            EXPECT_EQ(static_cast<double>(frame), exact) << beat;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Grids, NotesFileGrid,
                         testing::Values(Grid{120.0, 44100}, Grid{130.0, 44100}, Grid{400.0, 8000},
                                         Grid{97.3, 48000}));

NoteEvent noteOn(int note)
{
    return {NotesFile::kNoteOn, static_cast<std::uint8_t>(note), 100};
}

class NoteFeedBlocks : public testing::TestWithParam<std::int32_t> {};

// Every note of the file goes out once, in the block that holds its frame, at that frame.
TEST_P(NoteFeedBlocks, FileNotesGoOutAtTheirFramesInTheirBlocks)
{
    const std::int32_t block = GetParam();
    std::vector<ScheduledNote> scheduled;
    for (const std::int64_t frame : {0, 5, 99, 100, 101, 255, 256, 1000, 1000, 4095})
        scheduled.push_back({frame, noteOn(static_cast<int>(scheduled.size()))});
    NoteFeed feed(scheduled, nullptr, 44100, block);
    std::vector<ScheduledNote> sent;
    for (std::int64_t first = 0; first < 4096 + block; first += block)
        for (const hostcore::MidiMessage& m : feed.forBlock(first, 0)) {
            EXPECT_GE(m.deltaFrames, 0);
            EXPECT_LT(m.deltaFrames, block);
            sent.push_back({first + m.deltaFrames, {m.status, m.data1, m.data2}});
        }
    ASSERT_EQ(sent.size(), scheduled.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].frame, scheduled[i].frame) << i;
        EXPECT_EQ(sent[i].event.note, scheduled[i].event.note) << i;
        EXPECT_EQ(sent[i].event.status, NotesFile::kNoteOn) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, NoteFeedBlocks, testing::Values(16, 100, 256, 1000, 16384));

TEST(NoteFeed, NotesBeyondABlocksShareWaitForTheNextAtItsFirstFrame)
{
    constexpr std::int32_t kBlock = 64;
    std::vector<ScheduledNote> scheduled(NoteFeed::kNotesPerBlock + 3, {10, noteOn(36)});
    NoteFeed feed(scheduled, nullptr, 44100, kBlock);
    EXPECT_EQ(feed.forBlock(0, 0).size(), NoteFeed::kNotesPerBlock);
    const auto rest = feed.forBlock(kBlock, 0);
    ASSERT_EQ(rest.size(), 3u);
    for (const auto& m : rest)
        EXPECT_EQ(m.deltaFrames, 0);
    EXPECT_TRUE(feed.forBlock(2 * kBlock, 0).empty());
}

// A block rendered at `now` places a live note as far in as it came into the time since the
// block before; the file's notes and the live ones come out merged in frame order.
TEST(NoteFeed, LiveNotesKeepTheirSpacingOneBlockLate)
{
    constexpr int kRate = 48000;
    constexpr std::int32_t kBlock = 480;            // 10 ms
    constexpr std::int64_t kBlockTime = 10'000'000; // ns
    constexpr std::int64_t kStart = 5'000'000'000;  // the first block's render
    NoteRing ring(16);
    NoteFeed feed({{3 * kBlock + 200, noteOn(60)}}, &ring, kRate, kBlock);

    ring.push({kStart - 1'000'000, noteOn(36)});
    const auto first = feed.forBlock(0, kStart);
    ASSERT_EQ(first.size(), 1u) << "a note before the first block goes at its first frame";
    EXPECT_EQ(first[0].deltaFrames, 0);

    ring.push({kStart + 2'500'000, noteOn(37)}); // a quarter into the block's time
    ring.push({kStart + 7'500'000, noteOn(38)});
    ring.push({kStart + kBlockTime, noteOn(39)}); // as the second block began
    const auto second = feed.forBlock(kBlock, kStart + kBlockTime);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].data1, 37);
    EXPECT_EQ(second[0].deltaFrames, kBlock / 4);
    EXPECT_EQ(second[1].data1, 38);
    EXPECT_EQ(second[1].deltaFrames, 3 * kBlock / 4);

    ring.push({kStart + 2 * kBlockTime + 9'000'000, noteOn(40)});
    const auto third = feed.forBlock(2 * kBlock, kStart + 2 * kBlockTime);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0].data1, 39);
    EXPECT_EQ(third[0].deltaFrames, 0);
    // The last live note came in 9 ms after the third block began; the file's note lies
    // before it.
    const auto fourth = feed.forBlock(3 * kBlock, kStart + 3 * kBlockTime);
    ASSERT_EQ(fourth.size(), 2u);
    EXPECT_EQ(fourth[0].data1, 60);
    EXPECT_EQ(fourth[0].deltaFrames, 200);
    EXPECT_EQ(fourth[1].data1, 40);
    EXPECT_EQ(fourth[1].deltaFrames, 9 * kBlock / 10);
}

TEST(NoteRing, HoldsAPowerOfTwoAndRefusesWhenFull)
{
    NoteRing ring(3);
    ASSERT_EQ(ring.capacity(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ring.push({i, noteOn(i)}));
    EXPECT_FALSE(ring.push({4, noteOn(4)}));
    LiveNote note;
    ASSERT_TRUE(ring.peek(note));
    EXPECT_EQ(note.arrival, 0);
    ring.take();
    EXPECT_TRUE(ring.push({4, noteOn(4)}));
}

// A reader and an audio thread started together: every note arrives once, in order, whatever
// the interleaving.
TEST(NoteRing, ReaderAndAudioThreadsLoseNothing)
{
    constexpr std::int64_t kTotal = 100000;
    NoteRing ring(8);
    std::barrier start(2);
    std::thread reader([&] {
        start.arrive_and_wait();
        for (std::int64_t i = 0; i < kTotal; ++i)
            while (!ring.push({i, noteOn(static_cast<int>(i % 128))}))
                std::this_thread::yield();
    });
    start.arrive_and_wait();
    LiveNote note;
    for (std::int64_t expected = 0; expected < kTotal;) {
        if (!ring.peek(note)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(note.arrival, expected);
        ASSERT_EQ(note.event.note, expected % 128);
        ring.take();
        ++expected;
    }
    reader.join();
}

} // namespace
