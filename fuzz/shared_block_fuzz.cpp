// The shared block as the UI reads it, with any contents: every parameter's value, text and
// effect, the indices on both sides of the range, and every oscilloscope bar.
#include "blockreading.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool holds)
{
    if (!holds) std::abort();
}

void readParameters(const SharedBlock& block)
{
    for (int index = -2; index < sharedParameterCount + 2; ++index) {
        if (const auto value = blockreading::parameterValue(block, index))
            check(std::isfinite(*value));
        const auto text = blockreading::displayText(block, index);
        check(std::memchr(text.data(), '\0', text.size()) != nullptr);
    }
    for (int loop = -1; loop <= 4; ++loop) {
        const int effect = blockreading::selectedEffect(block, loop);
        check(effect >= -1 && effect <= 3);
    }
}

// The oscilloscope's geometry in the editor: 81 rows, the middle at 40.
void readScope(const SharedBlock& block)
{
    constexpr int kMid = 40;
    for (int i = 0; i < scopePointCapacity; ++i)
        if (const auto rows =
                blockreading::barRows(block.scopeMinima[i], block.scopeMaxima[i], kMid, 40.5)) {
            check(std::abs(rows->top - kMid) <= 1000000);
            check(std::abs(rows->bottom - kMid) <= 1000000);
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SharedBlock block{};
    std::memcpy(&block, data, size < sizeof block ? size : sizeof block);
    readParameters(block);
    readScope(block);
    return 0;
}
