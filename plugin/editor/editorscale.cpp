#include "editorscale.h"

#include <array>
#include <charconv>
#include <cmath>
#include <dlfcn.h>
#include <utility>

namespace editorscale {

namespace {

constexpr std::array<std::string_view, 1> kHostsThatScaleEditors = {"Qtractor"};
constexpr std::string_view kXftDpiName = "Xft.dpi:";
constexpr std::string_view kBlanks = " \t";

// False for NaN as well.
bool isScale(double value)
{
    return value >= kSmallest && value <= kLargest;
}

// from_chars rather than strtod: a host may have set a locale whose decimal mark is a comma,
// and the user's setting and the X resource are written with a point either way.
std::optional<double> parseNumber(std::string_view text)
{
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::string textOf(double value)
{
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string_view trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

Choice chosen(Source source, std::string given, std::optional<double> scale)
{
    const bool usable = scale && isScale(*scale);
    return {usable ? *scale : 1.0, source, std::move(given), !usable};
}

// Xlib's entry points, declared here: the plug-in is not linked to libX11, which a host
// without X (a render farm, a scanner) need not have.
struct XDisplay;
using OpenDisplay = XDisplay* (*)(const char*);
using ResourceManagerString = char* (*)(XDisplay*);
using CloseDisplay = int (*)(XDisplay*);

template <typename Function> Function entryOf(void* library, const char* name)
{
    return reinterpret_cast<Function>(dlsym(library, name));
}

} // namespace

Choice choose(const Sources& sources)
{
    if (sources.environment && sources.environment[0] != '\0')
        return chosen(Source::UserSetting, sources.environment, parseNumber(sources.environment));
    if (sources.hostFactor)
        return chosen(Source::Host, textOf(*sources.hostFactor), *sources.hostFactor);
    if (sources.xftDpi)
        if (const auto dpi = sources.xftDpi())
            return chosen(Source::XftDpi, textOf(*dpi), scaleOfDpi(*dpi));
    return {};
}

std::optional<double> parseXftDpi(std::string_view resources)
{
    while (!resources.empty()) {
        const size_t end = resources.find('\n');
        const std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view{} : resources.substr(end + 1);
        if (line.starts_with(kXftDpiName)) return parseNumber(trimmed(line.substr(kXftDpiName.size())));
    }
    return std::nullopt;
}

double scaleOfDpi(double dpi)
{
    return std::round(dpi / kReferenceDpi * 4.0) / 4.0;
}

// RTLD_NODELETE: a libX11 loaded here for the host stays loaded, as Xlib is not made to be
// unloaded from a process that goes on running; a later look-up finds it in place.
std::optional<double> xftDpiOfDisplay()
{
    void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) return std::nullopt;
    const auto openDisplay = entryOf<OpenDisplay>(library, "XOpenDisplay");
    const auto resourceString = entryOf<ResourceManagerString>(library, "XResourceManagerString");
    const auto closeDisplay = entryOf<CloseDisplay>(library, "XCloseDisplay");
    std::optional<double> dpi;
    // Xlib reads the resources as the connection opens: a new one sees the latest.
    if (XDisplay* display = openDisplay && resourceString && closeDisplay ? openDisplay(nullptr)
                                                                           : nullptr) {
        if (const char* resources = resourceString(display)) dpi = parseXftDpi(resources);
        closeDisplay(display);
    }
    dlclose(library);
    return dpi;
}

bool hostScalesEditors(std::string_view product)
{
    for (const std::string_view host : kHostsThatScaleEditors)
        if (product.starts_with(host)) return true;
    return false;
}

ERect rectangleFor(double scale, bool hostScales)
{
    const double factor = hostScales ? 1.0 : scale;
    return {0, 0, VstInt16(std::lround(kHeight * factor)), VstInt16(std::lround(kWidth * factor))};
}

std::string describe(const Choice& choice)
{
    const std::string scale = "editor scale " + textOf(choice.scale);
    switch (choice.source) {
    case Source::UserSetting:
        return choice.rejected ? scale + ": " + kEnvironmentName + " \"" + choice.given +
                                     "\" is no scale from 1 to 4"
                               : scale + " from " + kEnvironmentName;
    case Source::Host:
        return choice.rejected ? scale + ": the host's factor " + choice.given +
                                     " is no scale from 1 to 4"
                               : scale + " from the host";
    case Source::XftDpi:
        return choice.rejected ? scale + ": Xft.dpi " + choice.given + " gives no scale from 1 to 4"
                               : scale + " from Xft.dpi " + choice.given;
    case Source::None:
        break;
    }
    return scale;
}

} // namespace editorscale
