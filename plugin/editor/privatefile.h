// Opening the channel's files safely in a /tmp shared with every user of the
// machine: never through a link, and only files this user owns that nobody
// else can reach. Used by the plug-in and the UI program alike.
#pragma once

#include <string>

namespace privatefile {

enum class Check {
    Ok,
    Missing,      // nothing there
    Link,         // a symbolic link: never followed
    WrongType,    // not the kind of file expected
    ForeignOwner, // owned by another user
    OpenToOthers, // group or others have some access
    Failed,       // any other error of the open
};

// One line of text for a diagnostic: "is a symbolic link", ...
const char* describe(Check check);

struct Opened {
    int fd = -1;
    Check check = Check::Failed;
};

// Opens a FIFO read-write and non-blocking (which never waits for the other
// end), close-on-exec, without following a link, and keeps it only if it is a
// FIFO owned by this user with no access for group or others.
Opened openFifo(const std::string& path);

// The same checks on a POSIX shared memory object, opened read-write.
Opened openSharedMemory(const std::string& name);

} // namespace privatefile
