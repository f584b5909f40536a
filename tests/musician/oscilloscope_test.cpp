// The oscilloscope in the editor follows the engine's output: its trace moves while audio plays
// and lies flat along the middle once the output is silent.
#include "editoronscreen.h"

#include "audiobuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

using namespace std::chrono_literals;
using musician::EditorOnScreen;
using musician::Shot;

namespace {

constexpr VstInt32 kBlock = 512;
constexpr double kRate = 44100.0;

// Renders blocks in real time on a thread of its own, as a host's audio thread would: a
// 220 Hz tone with a slow swell while `playing`, silence otherwise.
class AudioThread {
public:
    explicit AudioThread(hostcore::LoadedPlugin& plugin) : plugin(plugin), thread([this] { run(); })
    {
    }
    ~AudioThread()
    {
        running = false;
        thread.join();
    }
    std::atomic<bool> playing{true};

private:
    void run()
    {
        hostcore::PlanarBuffer input(2, kBlock);
        hostcore::PlanarBuffer output(2, kBlock);
        auto next = std::chrono::steady_clock::now();
        for (uint64_t frame = 0; running; frame += kBlock) {
            for (VstInt32 i = 0; i < kBlock; ++i) {
                const double t = double(frame + uint64_t(i)) / kRate;
                const float sample =
                    playing ? float(std::sin(t * 1382.3) * (0.5 + 0.4 * std::sin(t * 3.0))) : 0.0f;
                input.at(0, size_t(i)) = input.at(1, size_t(i)) = sample;
            }
            plugin.process(input.pointersAt(0), output.pointersAt(0), kBlock);
            next += std::chrono::microseconds(int64_t(1e6 * kBlock / kRate));
            std::this_thread::sleep_until(next);
        }
    }

    hostcore::LoadedPlugin& plugin;
    std::atomic<bool> running{true};
    std::thread thread;
};

// The trace area without the panel's rounded edges.
Shot traceArea(const EditorOnScreen& editor)
{
    const auto scope = layout::oscilloscope();
    return editor.shot({scope.x + 4, scope.y, scope.width - 8, scope.height});
}

// Away from the middle rows, where a silent trace lies, each row shows only the background.
int pixelsOffTheMiddle(const Shot& trace)
{
    const int mid = trace.height() / 2;
    return trace.cropped({0, 0, trace.width(), mid - 1}).pixelsUnlikeTheirRowStart() +
           trace.cropped({0, mid + 2, trace.width(), trace.height() - mid - 2})
               .pixelsUnlikeTheirRowStart();
}

TEST(EditorWithThePointer, TheOscilloscopeMovesWithTheOutputAndLiesFlatInSilence)
{
    if (!std::getenv("DISPLAY")) GTEST_FAIL() << "run under Xvfb (scripts/test)";
    EditorOnScreen editor;
    editor.host.transport().play();
    AudioThread audio(*editor.plugin);

    std::this_thread::sleep_for(1500ms);
    const Shot playing = traceArea(editor);
    playing.save("oscilloscope-playing");
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(traceArea(editor).differingPixels(playing), 50) << "the trace stood still";
    EXPECT_GT(pixelsOffTheMiddle(playing), 500) << "no trace while the output plays";

    audio.playing = false;
    // 256 points of 176 frames scroll out in about a second.
    std::this_thread::sleep_for(1500ms);
    const Shot silent = traceArea(editor);
    silent.save("oscilloscope-silent");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(traceArea(editor).differingPixels(silent), 0) << "a silent trace moved";
    EXPECT_EQ(pixelsOffTheMiddle(silent), 0) << "a silent trace left the middle";
}

} // namespace
