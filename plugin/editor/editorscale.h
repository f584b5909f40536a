// The scale the editor is drawn at on screens of many pixels per inch, and the
// rectangle that follows from it. The scale comes from the first source that
// has one, in this order:
//   1. PRAVOLINDEL3_SCALE in the host's environment: the user's own choice;
//   2. the factor the host hands over with effVendorSpecific 'PreS';
//   3. the X server's Xft.dpi resource over 96, to the nearest quarter;
// and is 1 when none has. Whatever the first source that has one says, a value
// that is no number or lies outside 1 to 4 gives 1: a wrong setting shows the
// editor at its own size rather than at a scale the user did not ask for.
// An empty PRAVOLINDEL3_SCALE counts as unset, so that it can be cleared.
//
// Host UI thread only: the Xft.dpi look-up opens a display connection.
#pragma once

#include "vst24.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace editorscale {

inline constexpr double kSmallest = 1.0;
inline constexpr double kLargest = 4.0;
inline constexpr int kWidth = 260;
inline constexpr int kHeight = 517;
inline constexpr double kReferenceDpi = 96.0;
inline constexpr const char* kEnvironmentName = "PRAVOLINDEL3_SCALE";
// effVendorSpecific's index for a host's scale factor (in opt).
inline constexpr VstInt32 kHostScaleRequest = fourCharCode('P', 'r', 'e', 'S');

enum class Source { UserSetting, Host, XftDpi, None };

struct Sources {
    const char* environment = nullptr;     // PRAVOLINDEL3_SCALE's text; null when unset
    std::optional<float> hostFactor;       // the latest 'PreS'
    std::function<std::optional<double>()> xftDpi; // asked only when nothing before it is set
};

struct Choice {
    double scale = 1.0;
    Source source = Source::None;
    std::string given;     // the source's value as text, for the log
    bool rejected = false; // that value was no scale from 1 to 4
};

Choice choose(const Sources& sources);

// The value of the "Xft.dpi:" line of an X resource string.
std::optional<double> parseXftDpi(std::string_view resources);
// dpi over 96, to the nearest quarter.
double scaleOfDpi(double dpi);
// The Xft.dpi of the display DISPLAY names, through a libX11 loaded at run time;
// unset without libX11, a display or the resource.
std::optional<double> xftDpiOfDisplay();

// Hosts that size a plug-in's editor in their own scaled pixels and enlarge the
// window themselves, known by their product string.
bool hostScalesEditors(std::string_view product);

// round(260 S) wide, round(517 S) high; 260 × 517 for a host that scales itself.
ERect rectangleFor(double scale, bool hostScales);

// One line for the host's log: the scale and where it came from.
std::string describe(const Choice& choice);

} // namespace editorscale
