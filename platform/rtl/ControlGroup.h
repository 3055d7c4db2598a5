#pragma once
// What the running process may use of the machine: its memory and its
// processors, with the limits of its own control group (cgroup v2 or the v1
// memory and cpu controllers) and its processor affinity taken into account.
// A program confined to one core or to 1 GiB sizes its work for that, not
// for the machine it happens to run on.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ControlGroup {
public:
    // The process's membership file (normally /proc/self/cgroup) and the
    // folder where the hierarchies are mounted (normally /sys/fs/cgroup),
    // given so that a tree of plain files can stand in for them.
    ControlGroup(std::string membershipFile, std::string mountRoot);
    // The running process's own group.
    static ControlGroup OfThisProcess();

    // The lowest memory limit on the way from the process's group up to the
    // root of its hierarchy, in bytes; none when nothing limits it.
    std::optional<int64_t> MemoryLimit() const;
    // The lowest CPU quota on that way, in processors (1.5 is one and a half
    // processors' time per period); none when nothing limits it.
    std::optional<double> CpuQuota() const;

private:
    // The group's folder under the hierarchy that holds controller ("" for
    // the v2 unified one) and the folders above it up to that hierarchy's
    // root, deepest first; empty when the process is in none.
    std::vector<std::string> Folders(const std::string& controller) const;

    std::string membershipFile_;
    std::string mountRoot_;
};

// The machine's memory, or the process's group limit when that is lower.
int64_t UsableMemory(const ControlGroup& group = ControlGroup::OfThisProcess());
// The processors the calling thread may run on (its affinity), or fewer
// when the group's CPU quota gives less time than that; at least 1. Worker
// pools take their size from this.
int UsableProcessors(const ControlGroup& group = ControlGroup::OfThisProcess());
