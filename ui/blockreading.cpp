#include "blockreading.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace blockreading {

namespace {

bool isParameter(int index)
{
    return index >= 0 && index < sharedParameterCount;
}

// The plug-in stores with atomic_ref; reading the same way keeps a torn float out.
float loadValue(const SharedBlock& block, int index)
{
    return std::atomic_ref<float>(const_cast<float&>(block.parameters[index].value))
        .load(std::memory_order_relaxed);
}

// Any offset this large is far outside the widget and clipped; bounding it keeps the conversion
// to int defined for every finite sample.
constexpr double kFarOutside = 1.0e6;

int pixelOffset(float sample, double scale)
{
    return int(std::clamp(double(sample) * scale, -kFarOutside, kFarOutside));
}

} // namespace

std::optional<float> parameterValue(const SharedBlock& block, int index)
{
    if (!isParameter(index)) return std::nullopt;
    const float value = loadValue(block, index);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

DisplayText displayText(const SharedBlock& block, int index)
{
    DisplayText copy{};
    if (!isParameter(index)) return copy;
    const char* text = block.parameters[index].text;
    for (int i = 0; i < kMaxDisplayText && text[i] != '\0'; ++i)
        copy[size_t(i)] = text[i];
    return copy;
}

int selectedEffect(const SharedBlock& block, int loop)
{
    constexpr int kFirstFxSelect = 20;
    if (loop < 0 || loop > 3) return -1;
    const float scaled = loadValue(block, kFirstFxSelect + loop) * 4.0f;
    // Truncated toward zero, -1 < scaled < 4 names an effect.
    if (!(scaled > -1.0f && scaled < 4.0f)) return -1;
    return int(scaled);
}

std::optional<BarRows> barRows(float minimum, float maximum, int mid, double scale)
{
    if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(scale))
        return std::nullopt;
    return BarRows{mid - pixelOffset(minimum, scale), mid - pixelOffset(maximum, scale)};
}

} // namespace blockreading
