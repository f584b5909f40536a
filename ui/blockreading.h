// What the UI reads from the engine's shared block, kept apart from the widgets so that it can
// be tested and fuzzed without a display. The engine keeps writing the block while the UI reads
// it, and the object may hold anything (a half-written entry, a block left by another build):
// every reading here is bounded and defined for any bytes and any index.
#pragma once

#include "sharedblock.h"

#include <array>
#include <optional>

namespace blockreading {

// Display texts as the UI shows them: at most 15 characters and always terminated.
constexpr int kMaxDisplayText = sharedTextSize - 1;
using DisplayText = std::array<char, sharedTextSize>;

// The value last passed to the engine; none for an index outside 0..23 or a value that is not
// finite.
std::optional<float> parameterValue(const SharedBlock& block, int index);

// The entry's text up to its first NUL or its 15th character; empty for an index outside 0..23.
DisplayText displayText(const SharedBlock& block, int index);

// The effect loop 0..3 has chosen, from its FX sel entry: 0..3, or -1 for none (a value at or
// beyond either end, not a number, or a loop outside 0..3).
int selectedEffect(const SharedBlock& block, int loop);

// One oscilloscope bar: the rows its line runs between.
struct BarRows {
    int top;
    int bottom;
};

// Rows of the bar from minimum to maximum around the middle row `mid` at `scale` pixels per unit;
// none for a sample that is not finite. Huge samples end far outside the widget but within int.
std::optional<BarRows> barRows(float minimum, float maximum, int mid, double scale);

} // namespace blockreading
