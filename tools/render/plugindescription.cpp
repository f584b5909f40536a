#include "plugindescription.h"

#include "numbers.h"

#include <algorithm>

namespace pl3render {

namespace {

std::string padded(const std::string& text, std::size_t width)
{
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string heading(const PluginDescription& d)
{
    std::string text = d.effectName.empty() ? "(unnamed plug-in)" : d.effectName;
    if (!d.vendor.empty() || !d.product.empty())
        text +=
            " (" + d.vendor + (d.vendor.empty() || d.product.empty() ? "" : ", ") + d.product + ")";
    return text + ": " + std::to_string(d.inputs) + " inputs, " + std::to_string(d.outputs) +
           " outputs, " + std::to_string(d.parameters.size()) + " parameters\n";
}

} // namespace

std::string formatDescription(const PluginDescription& d)
{
    std::size_t nameWidth = 4;
    for (const auto& parameter : d.parameters)
        nameWidth = std::max(nameWidth, parameter.name.size());
    std::string text = heading(d);
    if (d.parameters.empty()) return text;
    text += "  index  " + padded("name", nameWidth) + "  " + padded("value", 11) + "  text\n";
    for (std::size_t i = 0; i < d.parameters.size(); ++i) {
        const ParameterDescription& p = d.parameters[i];
        const std::string index = std::to_string(i);
        std::string line = std::string(7 - std::min<std::size_t>(7, index.size()), ' ') + index +
                           "  " + padded(p.name, nameWidth) + "  " +
                           padded(formatNumber(p.value), 11) + "  " + p.display +
                           (p.label.empty() ? "" : " " + p.label);
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

} // namespace pl3render
