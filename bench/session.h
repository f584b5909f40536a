// What every benchmark of the audio path shares: the real PravoLindel3.so
// loaded into the test host, a ring of input blocks fed to it in turn, and the
// steps that bring a fresh engine to the state a case measures.
#pragma once

#include "cases.h"
#include "loadedplugin.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace pl3bench {

// Parameter numbers of loop 1: index = kind × 4 + loop.
inline constexpr VstInt32 kLoop1 = 0;
inline constexpr VstInt32 kValue1 = 4;
inline constexpr VstInt32 kPitch1 = 8;
inline constexpr VstInt32 kRev1 = 12;
inline constexpr VstInt32 kFx1 = 16;
inline constexpr VstInt32 kFxSel1 = 20;

inline constexpr float kSwitchOn = 1.0f;

// Deterministic stereo noise in fixed-size blocks, plus an output block for
// each, so that the plug-in and the copy baseline read and write exactly the
// same memory. The ring's period is no divisor of the loop lengths measured,
// so looped output can be told from the input.
class BlockRing {
public:
    // Blocks of `blockFrames` frames covering kRingFrames.
    static constexpr std::size_t kRingFrames = 32768;

    explicit BlockRing(VstInt32 blockFrames);
    BlockRing(const BlockRing&) = delete;
    BlockRing& operator=(const BlockRing&) = delete;

    std::size_t blocks() const { return inputs_.size(); }
    VstInt32 blockFrames() const { return blockFrames_; }
    float** inputs(std::size_t block) { return inputs_[block].data(); }
    float** outputs(std::size_t block) { return outputs_[block].data(); }
    // The plug-in's output of the block is its input, bit for bit.
    bool passedThrough(std::size_t block) const;
    // The output of the block is the input fed `framesBack` frames earlier,
    // bit for bit, when the blocks were fed in ring order from block 0.
    bool repeats(std::size_t block, std::size_t framesBack) const;

private:
    using ChannelTable = std::array<float*, 2>;

    const float* inputChannel(int channel) const { return samples_.data() + channel * kRingFrames; }

    VstInt32 blockFrames_;
    std::vector<float> samples_; // input left, input right, output left, output right
    std::vector<ChannelTable> inputs_;
    std::vector<ChannelTable> outputs_;
};

// How long one block took: on the wall clock, and on this thread's CPU clock,
// which leaves out the time other processes held the core.
struct BlockTiming {
    std::chrono::nanoseconds wall;
    std::chrono::nanoseconds cpu;
};

// One fresh engine in a session as a host starts it (effOpen, rate, block
// size, bypass off, effMainsChanged(1)), with the transport at frame 0.
class Session {
public:
    explicit Session(const SessionSettings& settings);

    hostcore::LoadedPlugin& plugin() { return *plugin_; }
    void play() { host_->transport().play(); }
    std::int64_t beatFrames() const { return beatFrames_; }
    std::int64_t barFrames() const { return kBeatsPerBar * beatFrames_; }

    // One host cycle on the next block of the ring.
    void processBlock()
    {
        plugin_->process(ring_.inputs(next_), ring_.outputs(next_), ring_.blockFrames());
        last_ = next_;
        next_ = next_ + 1 == ring_.blocks() ? 0 : next_ + 1;
    }
    // Whole blocks until at least `frames` more frames went through.
    void processFrames(std::int64_t frames);
    bool lastBlockPassedThrough() const { return ring_.passedThrough(last_); }
    bool lastBlockRepeats(std::size_t framesBack) const { return ring_.repeats(last_, framesBack); }

    // Switches Loop1 on and processes blocks, each timed, until one comes out
    // looped: the block that holds the capture point. Answers how long that
    // block took, or nothing if none looped within a beat and a block, the
    // latest a capture may come.
    std::optional<BlockTiming> switchLoopOnAndTimeCapture();

private:
    std::unique_ptr<hostcore::Host> host_;
    std::unique_ptr<hostcore::LoadedPlugin> plugin_;
    BlockRing ring_;
    std::int64_t beatFrames_;
    std::size_t next_ = 0;
    std::size_t last_ = 0;
};

} // namespace pl3bench
