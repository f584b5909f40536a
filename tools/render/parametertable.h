// The plug-in's parameters by name, as it reports them (effGetParamName), so
// that a timeline can say "Loop1" or "FX1 sel" instead of 0 or 20.
#pragma once

#include <string>
#include <vector>

namespace pl3render {

class ParameterTable {
public:
    explicit ParameterTable(std::vector<std::string> names);

    std::size_t size() const { return names_.size(); }
    const std::string& name(int index) const { return names_.at(index); }

    // A reported name; the same with '_' for its spaces ("FX1_sel"); either
    // of those in any case if that names only one parameter; or an index.
    // Throws RenderError naming the reference and what the plug-in offers.
    int resolve(const std::string& reference) const;

private:
    int find(const std::string& reference) const;
    int findIgnoringCase(const std::string& reference) const;
    int index(const std::string& reference) const;
    std::string offered() const;

    std::vector<std::string> names_;
};

} // namespace pl3render
