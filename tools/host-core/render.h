// Offline rendering: run a whole buffer through a plug-in in host cycles, as a
// host exporting a session would. Each block first moves the host's transport
// (time information for that block), then calls processReplacing.
#pragma once

#include "audiobuffer.h"
#include "loadedplugin.h"

#include <cstddef>
#include <functional>
#include <span>

namespace hostcore {

// Called before each block with the block's first frame (counted from the
// start of the render) and its size: the place for automation or checks.
using BlockHook = std::function<void(std::size_t frame, VstInt32 frames)>;

// Renders all of `input` into `output` (which needs at least as many frames).
// Block sizes are taken from `blockSizes` in turn, cycling; a 0 in the pattern
// is a block of 0 frames, and the last block is cut to what is left.
void render(LoadedPlugin& plugin, PlanarBuffer& input, PlanarBuffer& output,
            std::span<const VstInt32> blockSizes, const BlockHook& beforeBlock = {});
void render(LoadedPlugin& plugin, PlanarBuffer& input, PlanarBuffer& output, VstInt32 blockSize,
            const BlockHook& beforeBlock = {});

} // namespace hostcore
