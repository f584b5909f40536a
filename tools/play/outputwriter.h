// The writer thread: drains the frame ring into the output file while the audio thread fills
// it, so output frame i is the i-th frame the plug-in produced. The file is written under a
// hidden temporary name and appears under its own only when finish() succeeds.
#pragma once

#include "framering.h"
#include "temporaryfile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct sf_private_tag;

namespace pl3play {

class OutputWriter {
public:
    // Creates the temporary file and opens it as audio: float WAV for .wav (.flac and .aiff as
    // pravolindel3-render writes them). Throws pl3render::RenderError.
    OutputWriter(const std::string& path, int sampleRate, FrameRing& ring);
    // Without finish(): stops the thread and removes the temporary file.
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    void start();
    // Once the producer has pushed its last frame: writes what is left, closes the file and
    // renames it into place. Throws pl3render::RenderError if any write failed.
    void finish();
    std::uint64_t framesWritten() const { return written_.load(); }

private:
    struct SoundFileCloser {
        void operator()(sf_private_tag* file) const;
    };

    void run();
    // Moves what the ring holds into the file; answers whether there was anything.
    bool drain();
    void stop();

    std::string name_;
    int format_; // chosen before the file exists, so a wrong name leaves nothing behind
    pl3render::TemporaryFile file_;
    std::unique_ptr<sf_private_tag, SoundFileCloser> sound_;
    FrameRing& ring_;
    std::vector<float> chunk_;
    std::atomic<bool> producerDone_{false};
    std::atomic<std::uint64_t> written_{0};
    std::string failure_; // the writer thread's, read after it has been joined
    std::thread thread_;
};

} // namespace pl3play
