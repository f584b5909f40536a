// Collects the lines written to Qt's debug output while it exists; one at a time.
#pragma once

#include <QString>
#include <QtGlobal>

#include <string>
#include <vector>

class DebugLog {
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    // The messages of debug severity, in order, as the program wrote them.
    const std::vector<std::string>& lines() const;
    // How many of them start with prefix.
    size_t count(const std::string& prefix) const;

private:
    QtMessageHandler previous;
};
