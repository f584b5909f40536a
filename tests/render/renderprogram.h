// Runs the pravolindel3-render program as a user would and collects what it
// says, in a scratch folder of its own that the test can list afterwards.
#pragma once

#include "scratchfolder.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace rendertest {

using pl3test::ScratchFolder;

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::vector<std::string> errLines() const;
    // The program's own lines on stdout; a plug-in may print there too.
    std::vector<std::string> toolLines() const;
};

// Runs the program with `arguments`, its output captured outside `folder`.
ProgramRun runRender(const std::vector<std::string>& arguments);

// Starts the program without waiting; stderr goes to `err`, stdout nowhere.
pid_t startRender(const std::vector<std::string>& arguments, const std::string& err);
// The exit status of a started program, or -1 if it ended by a signal.
int waitForExit(pid_t pid);

} // namespace rendertest
