// The events file: one line per parameter change the plug-in announced to the host
// (audioMasterAutomate), in order, each flushed as it is written so that a reader can follow
// the file while the tool runs:
//   automate <index> <value> frame <song frame of the block in progress when it arrived>
#pragma once

#include "host.h"

#include <cstdio>
#include <string>
#include <vector>

namespace pl3play {

class EventLog {
public:
    // Creates or empties the file. Throws pl3render::RenderError if it cannot.
    explicit EventLog(const std::string& path);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Writes the automations among `requests` (whose stamps are song frames); throws
    // pl3render::RenderError if the file cannot take them.
    void write(const std::vector<hostcore::HostRequest>& requests);

    static std::string formatAutomation(const hostcore::HostRequest& request);

private:
    std::string path_;
    std::FILE* file_;
};

} // namespace pl3play
