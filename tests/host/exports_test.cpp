// The built plug-in module as the dynamic loader sees it: one exported
// symbol, and no dependency on the UI toolkit (only the UI process uses Qt).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kPlugin = PL3_PLUGIN_PATH;

// Runs a command and returns its standard output lines; fails the test when
// the command cannot run or exits non-zero.
std::vector<std::string> commandLines(const std::string& command)
{
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return lines;
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line);
    }
    EXPECT_EQ(pclose(pipe), 0) << command << " failed";
    return lines;
}

std::string lastWord(const std::string& line)
{
    std::istringstream words(line);
    std::string word;
    std::string last;
    while (words >> word)
        last = word;
    return last;
}

// readelf prints "... Shared library: [libfoo.so.1]".
std::string bracketed(const std::string& line)
{
    const auto open = line.find('[');
    const auto close = line.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return line;
    return line.substr(open + 1, close - open - 1);
}

class PluginModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(kPlugin)) << kPlugin << " was not built";
    }
};

TEST_F(PluginModule, VSTPluginMainIsTheOnlyDefinedDynamicSymbol)
{
    std::vector<std::string> symbols;
    for (const std::string& line : commandLines("nm -D --defined-only '" + kPlugin + "'"))
        if (!line.empty()) symbols.push_back(lastWord(line));
    EXPECT_EQ(symbols, std::vector<std::string>{"VSTPluginMain"});
}

TEST_F(PluginModule, NeedsNoQtLibrary)
{
    std::vector<std::string> needed;
    for (const std::string& line : commandLines("readelf -d '" + kPlugin + "'"))
        if (line.find("(NEEDED)") != std::string::npos) needed.push_back(bracketed(line));
    EXPECT_FALSE(needed.empty()) << "readelf listed no NEEDED entries at all";
    for (const std::string& library : needed)
        EXPECT_EQ(library.find("libQt"), std::string::npos) << library;
}

} // namespace
