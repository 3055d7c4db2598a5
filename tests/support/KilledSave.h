#pragma once
// A save that is killed midway: a forked child starts replacing `target`
// through the program's safe writer, writes part of the new content and is
// killed, so its temporary file stays behind exactly as after a crash or a
// power cut. Returns the names that appeared in the target's folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/rtl/SafeFileWriter.h"

inline std::set<std::string> NamesIn(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline std::set<std::string> LeaveKilledSave(const std::string& target)
{
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    const std::set<std::string> before = NamesIn(folder);
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            TSafeFileStream file(target);
            file.Write("half a save", 11);
            ::kill(::getpid(), SIGKILL);
        } catch (...) {
        }
        ::_exit(1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the save did not start";
    std::set<std::string> appeared;
    for (const std::string& name : NamesIn(folder))
        if (!before.count(name))
            appeared.insert(name);
    EXPECT_EQ(appeared.size(), 1u) << "one temporary file of the killed save";
    return appeared;
}
