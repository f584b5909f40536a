#include "render.h"

#include "hosterror.h"

#include <algorithm>
#include <string>

namespace hostcore {

namespace {

void checkShapes(const AEffect& effect, const PlanarBuffer& input, const PlanarBuffer& output,
                 std::span<const VstInt32> blockSizes)
{
    if (input.channels() < effect.numInputs || output.channels() < effect.numOutputs)
        throw HostError(HostFailure::BadArgument,
                        "plug-in needs " + std::to_string(effect.numInputs) + " inputs and " +
                            std::to_string(effect.numOutputs) + " outputs, buffers have " +
                            std::to_string(input.channels()) + " and " +
                            std::to_string(output.channels()));
    if (output.frames() < input.frames())
        throw HostError(HostFailure::BadArgument, "output buffer is shorter than the input");
    const bool advances =
        std::any_of(blockSizes.begin(), blockSizes.end(), [](VstInt32 size) { return size > 0; });
    const bool sane =
        std::none_of(blockSizes.begin(), blockSizes.end(), [](VstInt32 size) { return size < 0; });
    if (!advances || !sane)
        throw HostError(HostFailure::BadArgument,
                        "block sizes must not be negative and at least one must be positive");
}

} // namespace

void render(LoadedPlugin& plugin, PlanarBuffer& input, PlanarBuffer& output,
            std::span<const VstInt32> blockSizes, const BlockHook& beforeBlock)
{
    checkShapes(plugin.effect(), input, output, blockSizes);
    std::size_t frame = 0;
    for (std::size_t block = 0; frame < input.frames(); ++block) {
        const std::size_t left = input.frames() - frame;
        const VstInt32 wanted = blockSizes[block % blockSizes.size()];
        const auto frames = static_cast<VstInt32>(std::min<std::size_t>(wanted, left));
        if (beforeBlock) beforeBlock(frame, frames);
        plugin.process(input.pointersAt(frame), output.pointersAt(frame), frames);
        frame += static_cast<std::size_t>(frames);
    }
}

void render(LoadedPlugin& plugin, PlanarBuffer& input, PlanarBuffer& output, VstInt32 blockSize,
            const BlockHook& beforeBlock)
{
    render(plugin, input, output, std::span<const VstInt32>(&blockSize, 1), beforeBlock);
}

} // namespace hostcore
