#include "platform/rtl/ControlGroup.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first line of a small kernel file (a limit is a few words); empty
// when the file is missing or is not a plain file.
std::string FirstLine(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (!file)
        return {};
    char text[256] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    std::string line(text, n);
    line.resize(std::min(line.find('\n'), line.size()));
    return line;
}

std::optional<int64_t> ParseCount(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19)
        return std::nullopt;
    return std::stoll(text);
}

bool IsFolder(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A group path that climbs out of its hierarchy (a group outside our
// namespace reads as "/../..") leaves only the hierarchy's root to look at.
bool ClimbsOut(const std::string& path)
{
    std::istringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part == "..")
            return true;
    return false;
}

template <typename T>
void KeepLowest(std::optional<T>& lowest, std::optional<T> value)
{
    if (value && (!lowest || *value < *lowest))
        lowest = value;
}

// v1 calls "no limit" the largest multiple of the page size it can hold.
constexpr int64_t kNoV1Limit = int64_t{1} << 62;

} // namespace

ControlGroup::ControlGroup(std::string membershipFile, std::string mountRoot)
    : membershipFile_(std::move(membershipFile)), mountRoot_(std::move(mountRoot))
{
}

ControlGroup ControlGroup::OfThisProcess()
{
    return ControlGroup("/proc/self/cgroup", "/sys/fs/cgroup");
}

std::vector<std::string> ControlGroup::Folders(const std::string& controller) const
{
    std::ifstream membership(membershipFile_);
    std::string line;
    // "hierarchy-ID:controller-list:group-path", one line per hierarchy;
    // the v2 one has ID 0 and no controllers.
    for (int lines = 0; lines < 64 && std::getline(membership, line); ++lines) {
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        std::string base;
        if (controller.empty()) {
            if (line.compare(0, first, "0") != 0 || !controllers.empty())
                continue;
            // Alone at the root, or beside v1 hierarchies under "unified".
            base = !IsFile(mountRoot_ + "/cgroup.controllers") && IsFolder(mountRoot_ + "/unified")
                       ? mountRoot_ + "/unified"
                       : mountRoot_;
        } else {
            bool listed = false;
            std::istringstream names(controllers);
            std::string name;
            while (std::getline(names, name, ','))
                listed = listed || name == controller;
            if (!listed)
                continue;
            // Mounted under the controller's name, or under the whole list
            // ("cpu,cpuacct") where no link of the single name is made.
            base = IsFolder(mountRoot_ + "/" + controller) ? mountRoot_ + "/" + controller
                                                           : mountRoot_ + "/" + controllers;
        }
        if (ClimbsOut(path))
            path.clear();
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        std::vector<std::string> folders;
        for (;;) {
            folders.push_back(base + path);
            if (path.empty())
                break;
            path.resize(path.rfind('/'));
        }
        return folders;
    }
    return {};
}

std::optional<int64_t> ControlGroup::MemoryLimit() const
{
    std::optional<int64_t> lowest;
    for (const std::string& folder : Folders(""))
        KeepLowest(lowest, ParseCount(FirstLine(folder + "/memory.max")));
    for (const std::string& folder : Folders("memory")) {
        const std::optional<int64_t> limit = ParseCount(FirstLine(folder + "/memory.limit_in_bytes"));
        if (limit && *limit < kNoV1Limit)
            KeepLowest(lowest, limit);
    }
    return lowest;
}

std::optional<double> ControlGroup::CpuQuota() const
{
    std::optional<double> lowest;
    for (const std::string& folder : Folders("")) {
        // "max 100000", or "<quota> <period>" in microseconds.
        std::istringstream words(FirstLine(folder + "/cpu.max"));
        std::string quota, period;
        words >> quota >> period;
        const std::optional<int64_t> q = ParseCount(quota);
        const std::optional<int64_t> p = period.empty() ? std::optional<int64_t>(100000) : ParseCount(period);
        if (q && p && *q > 0 && *p > 0)
            KeepLowest(lowest, std::optional<double>(double(*q) / double(*p)));
    }
    for (const std::string& folder : Folders("cpu")) {
        // -1 is "no quota", which is no count and so is passed by.
        const std::optional<int64_t> q = ParseCount(FirstLine(folder + "/cpu.cfs_quota_us"));
        const std::optional<int64_t> p = ParseCount(FirstLine(folder + "/cpu.cfs_period_us"));
        if (q && p && *q > 0 && *p > 0)
            KeepLowest(lowest, std::optional<double>(double(*q) / double(*p)));
    }
    return lowest;
}

int64_t UsableMemory(const ControlGroup& group)
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    int64_t memory = pages > 0 && pageSize > 0 ? int64_t(pages) * pageSize : 0;
    if (const std::optional<int64_t> limit = group.MemoryLimit(); limit && (memory == 0 || *limit < memory))
        memory = *limit;
    return memory;
}

int UsableProcessors(const ControlGroup& group)
{
    int count = 0;
    // The set grows until it holds every processor the kernel knows of.
    for (int size = 1024; size <= (1 << 20) && count == 0; size *= 2) {
        cpu_set_t* set = CPU_ALLOC(size);
        if (!set)
            break;
        const size_t bytes = CPU_ALLOC_SIZE(size);
        CPU_ZERO_S(bytes, set);
        if (::sched_getaffinity(0, bytes, set) == 0)
            count = CPU_COUNT_S(bytes, set);
        const bool tooSmall = count == 0 && errno == EINVAL;
        CPU_FREE(set);
        if (count == 0 && !tooSmall)
            break;
    }
    if (count <= 0)
        count = int(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    // Half a processor's time still keeps one thread busy half the time.
    if (const std::optional<double> quota = group.CpuQuota())
        count = std::min(count, int(std::ceil(*quota - 1e-9)));
    return std::max(count, 1);
}
