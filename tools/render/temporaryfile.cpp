#include "temporaryfile.h"

#include "interruptcleanup.h"
#include "rendererror.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pl3render {

namespace {

std::string temporaryTemplate(const std::string& destination)
{
    const auto slash = destination.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
    const std::string name =
        slash == std::string::npos ? destination : destination.substr(slash + 1);
    return folder + "." + name + ".XXXXXX";
}

std::string failure(const std::string& what, const std::string& path)
{
    return "cannot " + what + " '" + path + "': " + std::strerror(errno);
}

// mkstemp makes the file private; an output should get the usual permissions.
void applyUmask(int fd)
{
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

} // namespace

TemporaryFile::TemporaryFile(std::string destination) : destination_(std::move(destination))
{
    std::string pattern = temporaryTemplate(destination_);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // No signal may come between creating the file and registering it for
    // removal, or it could stay behind.
    DeferredInterrupts deferred;
    fd_ = mkstemp(name.data());
    if (fd_ < 0) throw RenderError(failure("create output", destination_));
    path_ = name.data();
    registerFileToRemove(path_.c_str());
    applyUmask(fd_);
}

TemporaryFile::~TemporaryFile()
{
    closeDescriptor();
    if (!committed_) {
        unlink(path_.c_str());
        unregisterFileToRemove();
    }
}

int TemporaryFile::releaseDescriptor()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void TemporaryFile::writeText(const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw RenderError(failure("write", destination_));
        written += static_cast<std::size_t>(n);
    }
}

void TemporaryFile::commit()
{
    closeDescriptor();
    if (rename(path_.c_str(), destination_.c_str()) != 0)
        throw RenderError(failure("write", destination_));
    committed_ = true;
    unregisterFileToRemove();
}

void TemporaryFile::closeDescriptor()
{
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

} // namespace pl3render
