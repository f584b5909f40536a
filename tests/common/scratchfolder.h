// What the tests that run the project's programs share: a scratch folder that
// goes with its owner, and reading what a program wrote.
#pragma once

#include <string>
#include <vector>

namespace pl3test {

class ScratchFolder {
public:
    // A fresh folder in the system's temporary directory, named prefix.XXXXXX.
    explicit ScratchFolder(const std::string& prefix = "pl3test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Every entry but . and .., hidden ones too, sorted.
    std::vector<std::string> entries() const;
    void writeText(const std::string& name, const std::string& text) const;
    std::string readText(const std::string& name) const;

private:
    std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);
// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);
// Those of them that begin with prefix.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix);

} // namespace pl3test
