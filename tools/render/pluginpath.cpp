#include "pluginpath.h"

#include "rendererror.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace pl3render {

std::string executableFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        throw RenderError(std::string("cannot find this program's folder: ") +
                          std::strerror(errno) + " (name the plug-in with --plugin)");
    const std::string executable(path, static_cast<std::size_t>(length));
    return executable.substr(0, executable.find_last_of('/'));
}

std::string defaultPluginPath()
{
    return executableFolder() + "/" + kPluginFileName;
}

} // namespace pl3render
