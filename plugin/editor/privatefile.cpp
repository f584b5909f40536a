#include "privatefile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace privatefile {

namespace {
Check checkOpened(int fd, mode_t type)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) return Check::Failed;
    if ((status.st_mode & S_IFMT) != type) return Check::WrongType;
    if (status.st_uid != geteuid()) return Check::ForeignOwner;
    if ((status.st_mode & 077) != 0) return Check::OpenToOthers;
    return Check::Ok;
}

Check checkOpenError(int error)
{
    switch (error) {
    case ENOENT:
        return Check::Missing;
    case ELOOP:
        return Check::Link;
    default:
        return Check::Failed;
    }
}

Opened keepIfPrivate(int fd, mode_t type)
{
    if (fd < 0) return {-1, checkOpenError(errno)};
    const Check check = checkOpened(fd, type);
    if (check != Check::Ok) {
        close(fd);
        return {-1, check};
    }
    return {fd, Check::Ok};
}
} // namespace

const char* describe(Check check)
{
    switch (check) {
    case Check::Ok:
        return "is private";
    case Check::Missing:
        return "does not exist";
    case Check::Link:
        return "is a symbolic link";
    case Check::WrongType:
        return "is not the kind of file expected";
    case Check::ForeignOwner:
        return "belongs to another user";
    case Check::OpenToOthers:
        return "is open to other users";
    case Check::Failed:
        break;
    }
    return "cannot be opened";
}

Opened openFifo(const std::string& path)
{
    // O_NONBLOCK also keeps the open itself from waiting on a regular file
    // planted where a FIFO should be.
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    return keepIfPrivate(fd, S_IFIFO);
}

Opened openSharedMemory(const std::string& name)
{
    // shm_open opens below /dev/shm with O_NOFOLLOW and O_CLOEXEC of its own.
    const int fd = shm_open(name.c_str(), O_RDWR, 0600);
    return keepIfPrivate(fd, S_IFREG);
}

} // namespace privatefile
