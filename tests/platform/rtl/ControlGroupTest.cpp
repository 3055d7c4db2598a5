#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/rtl/ControlGroup.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int64_t kGiB = int64_t{1} << 30;

// A stand-in for /proc/self/cgroup and /sys/fs/cgroup: the membership text
// and the files of the tree, by their path under the mount root.
struct FakeTree {
    std::string membership;
    std::map<std::string, std::string> files;
    std::optional<int64_t> memory;
    std::optional<double> quota;
};

class ControlGroupTest : public ::testing::Test {
protected:
    // Each tree in a folder of its own.
    ControlGroup Make(const FakeTree& tree)
    {
        const std::string folder = std::to_string(made_++) + "/";
        const std::string membership = dir_.Write(folder + "proc-self-cgroup", tree.membership);
        for (const auto& [path, text] : tree.files)
            dir_.Write(folder + "mount/" + path, text);
        std::filesystem::create_directories(dir_.Path() / folder / "mount");
        return ControlGroup(membership, (dir_.Path() / folder / "mount").string());
    }

    TempDir dir_;
    int made_ = 0;
};

// The processors this process may run on, as the kernel gives them.
int AffinityCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    EXPECT_EQ(::sched_getaffinity(0, sizeof set, &set), 0);
    return CPU_COUNT(&set);
}

TEST_F(ControlGroupTest, TheLowestLimitOnTheWayToTheRootCounts)
{
    const std::string v2 = "0::/user.slice/user-1000.slice/app.scope\n";
    const FakeTree trees[] = {
        // Unified hierarchy, limited above the process's own group.
        {v2,
         {{"cgroup.controllers", "cpu memory\n"},
          {"user.slice/memory.max", "2147483648\n"},
          {"user.slice/user-1000.slice/memory.max", "max\n"},
          {"user.slice/user-1000.slice/app.scope/memory.max", "max\n"},
          {"user.slice/cpu.max", "150000 100000\n"},
          {"user.slice/user-1000.slice/app.scope/cpu.max", "max 100000\n"}},
         2 * kGiB,
         1.5},
        // Nested: the inner group is the tighter one.
        {v2,
         {{"cgroup.controllers", ""},
          {"user.slice/memory.max", "4294967296\n"},
          {"user.slice/user-1000.slice/app.scope/memory.max", "1073741824\n"},
          {"user.slice/cpu.max", "400000 100000\n"},
          {"user.slice/user-1000.slice/cpu.max", "50000 100000\n"}},
         kGiB,
         0.5},
        // Nothing limits anything.
        {v2,
         {{"cgroup.controllers", "cpu memory\n"},
          {"user.slice/memory.max", "max\n"},
          {"user.slice/cpu.max", "max 100000\n"}},
         std::nullopt,
         std::nullopt},
        // v1: memory and cpu controllers of their own, "no limit" at the
        // root as the largest number the kernel keeps, no quota (-1) above.
        {"12:memory:/docker/abc\n4:cpu,cpuacct:/docker/abc\n1:name=systemd:/docker/abc\n0::/\n",
         {{"memory/memory.limit_in_bytes", "9223372036854771712\n"},
          {"memory/docker/memory.limit_in_bytes", "9223372036854771712\n"},
          {"memory/docker/abc/memory.limit_in_bytes", "1073741824\n"},
          {"cpu,cpuacct/docker/cpu.cfs_quota_us", "-1\n"},
          {"cpu,cpuacct/docker/cpu.cfs_period_us", "100000\n"},
          {"cpu,cpuacct/docker/abc/cpu.cfs_quota_us", "250000\n"},
          {"cpu,cpuacct/docker/abc/cpu.cfs_period_us", "100000\n"}},
         kGiB,
         2.5},
        // v1 and the unified hierarchy side by side (hybrid).
        {"7:memory:/user.slice\n0::/user.slice/app.scope\n",
         {{"memory/user.slice/memory.limit_in_bytes", "3221225472\n"},
          {"unified/user.slice/app.scope/memory.max", "2147483648\n"}},
         2 * kGiB,
         std::nullopt},
        // A group outside what is mounted here (another namespace): only
        // the root of the mount, which is the container's, is read.
        {"0::/../../system.slice/other.service\n",
         {{"cgroup.controllers", "memory\n"}, {"memory.max", "536870912\n"}, {"cpu.max", "100000 100000\n"}},
         kGiB / 2,
         1.0},
        // Unreadable numbers are no limits.
        {"0::/a\n", {{"cgroup.controllers", ""}, {"a/memory.max", "lots\n"}, {"a/cpu.max", "0 100000\n"}},
         std::nullopt,
         std::nullopt},
        // No membership at all.
        {"", {}, std::nullopt, std::nullopt},
    };
    for (const FakeTree& tree : trees) {
        SCOPED_TRACE(tree.membership);
        const ControlGroup group = Make(tree);
        EXPECT_EQ(group.MemoryLimit(), tree.memory);
        ASSERT_EQ(group.CpuQuota().has_value(), tree.quota.has_value());
        if (tree.quota) {
            EXPECT_DOUBLE_EQ(*group.CpuQuota(), *tree.quota);
        }
    }
}

TEST_F(ControlGroupTest, MemoryIsTheMachinesOrTheGroupsWhicheverIsLess)
{
    const int64_t machine = int64_t(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
    EXPECT_EQ(UsableMemory(Make({"0::/\n", {{"cgroup.controllers", ""}}, {}, {}})), machine);
    EXPECT_EQ(UsableMemory(Make({"0::/a\n", {{"a/memory.max", "1073741824\n"}}, {}, {}})), kGiB);
    EXPECT_EQ(UsableMemory(Make({"0::/b\n", {{"b/memory.max", std::to_string(machine * 4) + "\n"}}, {}, {}})),
              machine);
}

TEST_F(ControlGroupTest, ProcessorsAreTheAffinityCutByTheQuota)
{
    const int cores = AffinityCount();
    EXPECT_EQ(UsableProcessors(Make({"0::/\n", {}, {}, {}})), cores);
    // Half a processor's time still runs one thread; 1.5 runs two.
    EXPECT_EQ(UsableProcessors(Make({"0::/a\n", {{"a/cpu.max", "50000 100000\n"}}, {}, {}})), 1);
    EXPECT_EQ(UsableProcessors(Make({"0::/b\n", {{"b/cpu.max", "150000 100000\n"}}, {}, {}})), std::min(cores, 2));
    EXPECT_EQ(UsableProcessors(Make({"0::/c\n", {{"c/cpu.max", "6400000 100000\n"}}, {}, {}})), cores);
}

// A process confined to fewer processors than the machine has (as under
// taskset) counts only those, whatever its group allows.
TEST_F(ControlGroupTest, AProcessPinnedToProcessorsCountsOnlyThose)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ASSERT_EQ(::sched_getaffinity(0, sizeof allowed, &allowed), 0);
    std::vector<int> cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &allowed))
            cpus.push_back(cpu);
    ASSERT_FALSE(cpus.empty());
    const ControlGroup unlimited = Make({"0::/\n", {}, {}, {}});

    for (const size_t pinned : {size_t(1), std::min<size_t>(2, cpus.size())}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            cpu_set_t set;
            CPU_ZERO(&set);
            for (size_t i = 0; i < pinned; ++i)
                CPU_SET(cpus[i], &set);
            if (::sched_setaffinity(0, sizeof set, &set) != 0)
                ::_exit(100);
            const int counted = UsableProcessors(unlimited);
            const int withOwnGroup = UsableProcessors();
            ::_exit(counted == int(pinned) && withOwnGroup <= int(pinned) && withOwnGroup >= 1 ? 0 : 10 + counted);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "pinned to " << pinned << " (10 + what was counted)";
    }
}

} // namespace
