// What the audio thread calls: nothing that allocates, locks, sleeps or enters
// the kernel, over two seconds of blocks paced in real time with every parameter
// automated on that thread between them and notes playing every button in the
// blocks, with the editor open (its UI up, its
// poll sending the changes on) and with it closed. The hooks count what the
// thread calls inside the plug-in's entries, the host's callback included; the
// pacing between blocks is the test's own and is not counted.
//
// And the other side of the hooks: an editor open that gets no thread.
#include "audiobuffer.h"
#include "callcounter.h"
#include "editorrig.h"
#include "loadedplugin.h"
#include "realtimeaudio.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kRate = 44100.0;
constexpr VstInt32 kBlock = 256;
constexpr uint32_t kMeasuredBlocks = uint32_t(2.0 * kRate / kBlock); // two seconds
// The first blocks tell the host to refresh its display (a request the test host
// records under a lock) and take the first loop captures.
constexpr uint32_t kWarmUpBlocks = 32;
constexpr uint32_t kChangesPerBlock = 4;

// The changes before block `block`: every parameter in turn, with values that
// switch loops, effects and directions on and off and step through the lengths.
void automate(hostcore::LoadedPlugin& plugin, uint32_t block)
{
    for (uint32_t k = 0; k < kChangesPerBlock; ++k) {
        const uint32_t step = block * kChangesPerBlock + k;
        plugin.setParameter(VstInt32(step % 24), float(step * 7 % 11) / 10.0f);
    }
}

constexpr uint32_t kNotesPerBlock = 4;

// The notes of block `block`, spread over it in frame order: each of the
// twenty-four notes in turn, pressed in one round and let go in the next, so
// buttons are held, let go and toggled.
std::array<hostcore::MidiMessage, kNotesPerBlock> notesFor(uint32_t block)
{
    std::array<hostcore::MidiMessage, kNotesPerBlock> notes{};
    for (uint32_t k = 0; k < kNotesPerBlock; ++k) {
        const uint32_t step = block * kNotesPerBlock + k;
        const bool press = step / 24 % 2 == 0;
        notes[k] = {VstInt32(k * kBlock / kNotesPerBlock + step % 7), uint8_t(press ? 0x90 : 0x80),
                    uint8_t(36 + step % 24), 100};
    }
    return notes;
}

// What the audio thread called while the measured blocks were automated, given
// their notes and processed.
callcounter::Counts playOnAnAudioThread(hostcore::LoadedPlugin& plugin)
{
    std::thread audio([&] {
        realtimeaudio::raiseToRealTimePriority();
        hostcore::PlanarBuffer input(2, kBlock);
        hostcore::PlanarBuffer output(2, kBlock);
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(kBlock / kRate));
        auto next = Clock::now();
        for (uint32_t block = 0; block < kWarmUpBlocks + kMeasuredBlocks; ++block) {
            if (block == kWarmUpBlocks) callcounter::reset();
            realtimeaudio::fillSine(input, block);
            {
                callcounter::Counting counting;
                automate(plugin, block);
                plugin.sendEvents(notesFor(block));
                plugin.process(input.pointersAt(0), output.pointersAt(0), kBlock);
            }
            next += period;
            std::this_thread::sleep_until(next);
        }
    });
    audio.join();
    return callcounter::counts();
}

class AudioThreadCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
        plugin.startSession(kRate, kBlock);
        host.transport().play();
    }

    hostcore::Host host;
    hostcore::LoadedPlugin plugin{PL3_PLUGIN_PATH, host};
};

TEST_F(AudioThreadCalls, NoneWithTheEditorOpen)
{
    editorrig::HostWindow window;
    ASSERT_EQ(plugin.editorOpen(window.id()), 1);
    ASSERT_TRUE(editorrig::waitFor([&] { return window.holdsWindowOfSize(260, 517); }, 5s));
    EXPECT_EQ(callcounter::describe(playOnAnAudioThread(plugin)), "");
    plugin.close();
}

TEST_F(AudioThreadCalls, NoneWithTheEditorClosed)
{
    editorrig::HostWindow window;
    plugin.editorOpen(window.id());
    plugin.editorClose();
    EXPECT_EQ(callcounter::describe(playOnAnAudioThread(plugin)), "");
    plugin.close();
}

// The control: the hooks do see the plug-in's own calls. Its construction
// writes the UI program, the editor's open opens the FIFOs, the close closes
// them.
TEST_F(AudioThreadCalls, TheHooksSeeThePluginsOwnCalls)
{
    editorrig::HostWindow window;
    callcounter::reset();
    {
        callcounter::Counting counting;
        hostcore::LoadedPlugin another(PL3_PLUGIN_PATH, host);
        another.editorOpen(window.id());
        another.close();
    }
    const callcounter::Counts counted = callcounter::counts();
    for (callcounter::Call call :
         {callcounter::kMalloc, callcounter::kFree, callcounter::kWrite, callcounter::kClose})
        EXPECT_GT(counted[call], 0u) << callcounter::nameOf(call);
    EXPECT_GT(counted[callcounter::kOpen] + counted[callcounter::kOpenat], 0u);
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST(EditorOpen, WithoutAThreadForItsPollAnswersZeroAndSaysSo)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    editorrig::HostWindow window;
    std::string said;
    {
        editorrig::OutputCapture output;
        callcounter::RefusingThreads refusing;
        EXPECT_EQ(plugin.editorOpen(window.id()), 0);
        said = output.text();
    }
    const auto lines = linesOf(said);
    ASSERT_EQ(lines.size(), 1u) << said;
    EXPECT_EQ(lines[0].rfind("PravoLindel3VST > ", 0), 0u) << said;
    EXPECT_TRUE(editorrig::uiChildren().empty()) << "no UI for an editor that did not open";
    // Once the system has threads again, the editor opens as ever.
    EXPECT_EQ(plugin.editorOpen(window.id()), 1);
    EXPECT_TRUE(editorrig::waitFor([] { return editorrig::uiChildren().size() == 1; }, 5s));
    plugin.close();
}

} // namespace
