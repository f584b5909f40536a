// The instance numbers of this process's engines, oldest first: each engine
// keeps its shared memory object open, and locked, for its life.
#pragma once

#include "sharedblock.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

inline std::vector<int32_t> heldInstances()
{
    std::vector<int32_t> numbers;
    const std::string prefix = "/dev/shm" + std::string(sharedBlockNamePrefix);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.rfind(prefix, 0) == 0)
            numbers.push_back(std::stoi(target.substr(prefix.size())));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

inline int32_t heldInstance(size_t k)
{
    const auto numbers = heldInstances();
    return k < numbers.size() ? numbers[k] : -1;
}
