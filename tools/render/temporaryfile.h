// An output file that appears whole or not at all: written under a hidden
// temporary name in the destination's folder, renamed over the destination by
// commit(). Until then the destructor, and an interrupting signal
// (interruptcleanup.h), remove it.
#pragma once

#include <string>

namespace pl3render {

class TemporaryFile {
public:
    // Creates ".NAME.XXXXXX" beside `destination`; RenderError if it cannot.
    explicit TemporaryFile(std::string destination);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& destination() const { return destination_; }

    // The open descriptor, for a writer that closes it itself.
    int releaseDescriptor();
    void writeText(const std::string& text);
    // Renames the file to the destination; afterwards nothing is removed.
    void commit();

private:
    void closeDescriptor();

    std::string destination_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace pl3render
