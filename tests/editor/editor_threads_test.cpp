// The poll thread applying the UI's records while the audio thread renders and
// a host thread sets parameters: the editor's threads all at once. Built with
// the tsan preset, ThreadSanitizer watches every access they share.
#include "channel.h"
#include "editorrig.h"
#include "heldinstances.h"
#include "loadedplugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cmath>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

TEST(EditorThreads, PollAudioAndHostThreadsTogether)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    plugin.startSession(44100.0, 256);
    host.transport().play();
    editorrig::HostWindow window;
    plugin.editorOpen(window.id());
    const std::string uiFifo = channel::uiFifoPath(heldInstance(0));

    constexpr int kBlocks = 44100 * 3 / 256; // three seconds of audio
    std::vector<float> in(256), outLeft(256), outRight(256);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = std::sin(float(i) * 0.05f) * 0.5f;
    std::atomic<bool> finite{true};
    std::atomic<bool> rendering{true};
    std::barrier start(3);

    std::thread audio([&] {
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        start.arrive_and_wait();
        for (int block = 0; block < kBlocks; ++block) {
            plugin.process(inputs, outputs, 256);
            for (float v : outLeft)
                if (!std::isfinite(v)) finite = false;
            std::this_thread::sleep_for(1ms);
        }
        rendering = false;
    });
    std::thread hostThread([&] {
        std::mt19937 random(3);
        start.arrive_and_wait();
        while (rendering) {
            const auto index = VstInt32(random() % 24);
            plugin.setParameter(index, float(random() % 1000) / 1000.0f);
            plugin.parameterDisplay(index);
            std::this_thread::sleep_for(200us);
        }
    });
    std::mt19937 random(5);
    start.arrive_and_wait();
    int sent = 0;
    while (rendering) {
        const auto record =
            channel::encodeParameter(int32_t(random() % 24), float(random() % 1000) / 1000.0f);
        sent += editorrig::writeRecord(uiFifo, record.data(), record.size()) ? 1 : 0;
        std::this_thread::sleep_for(2ms);
    }
    audio.join();
    hostThread.join();

    EXPECT_TRUE(finite);
    EXPECT_GT(sent, 100);
    EXPECT_TRUE(editorrig::waitFor([&] { return host.automations().size() >= size_t(sent); }, 2s));
    plugin.close();
}

} // namespace
