#include "eventlog.h"

#include "rendererror.h"

#include <cerrno>
#include <cstring>

namespace pl3play {

namespace {

std::string failure(const char* what, const std::string& path)
{
    return std::string("cannot ") + what + " events file '" + path + "': " + std::strerror(errno);
}

} // namespace

EventLog::EventLog(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "we"))
{
    if (!file_) throw pl3render::RenderError(failure("create", path));
}

EventLog::~EventLog()
{
    std::fclose(file_);
}

void EventLog::write(const std::vector<hostcore::HostRequest>& requests)
{
    bool wrote = false;
    for (const hostcore::HostRequest& request : requests) {
        if (request.opcode != audioMasterAutomate) continue;
        std::fputs(formatAutomation(request).c_str(), file_);
        wrote = true;
    }
    if (wrote && std::fflush(file_) != 0) throw pl3render::RenderError(failure("write", path_));
}

std::string EventLog::formatAutomation(const hostcore::HostRequest& request)
{
    char line[128];
    std::snprintf(line, sizeof line, "automate %d %.9g frame %lld\n",
                  static_cast<int>(request.index), static_cast<double>(request.opt),
                  static_cast<long long>(request.stamp));
    return line;
}

} // namespace pl3play
