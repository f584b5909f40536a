#include "debuglog.h"

#include <algorithm>

namespace {
std::vector<std::string> collected;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg) collected.push_back(message.toStdString());
}
} // namespace

DebugLog::DebugLog() : previous(qInstallMessageHandler(collect))
{
    collected.clear();
}

DebugLog::~DebugLog()
{
    qInstallMessageHandler(previous);
}

const std::vector<std::string>& DebugLog::lines() const
{
    return collected;
}

size_t DebugLog::count(const std::string& prefix) const
{
    return size_t(std::count_if(collected.begin(), collected.end(), [&](const std::string& line) {
        return line.rfind(prefix, 0) == 0;
    }));
}
