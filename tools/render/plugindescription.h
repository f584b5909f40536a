// What a host reads from a plug-in before it plays anything: its names, its
// pins and its parameters with their current values and texts. The render
// tool prints it for --list-parameters, so a timeline can be written from it.
#pragma once

#include <string>
#include <vector>

namespace pl3render {

struct ParameterDescription {
    std::string name;
    float value = 0.0f;
    std::string display;
    std::string label;
};

struct PluginDescription {
    std::string effectName;
    std::string vendor;
    std::string product;
    int inputs = 0;
    int outputs = 0;
    std::vector<ParameterDescription> parameters;
};

// A heading line, then one line a parameter: index, name, value, text.
std::string formatDescription(const PluginDescription& description);

} // namespace pl3render
