#pragma once
// Acting as another local user (uid and gid 65534) from a test that runs as
// root: what that user does happens in a forked child that drops to them.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

inline constexpr uid_t kOtherUser = 65534;

// The other user makes the folder with exactly mode (as `mkdir -m` does).
// Only root can act as another user: call it only when geteuid() is 0.
inline void MakeFolderAsOtherUser(const std::string& path, mode_t mode)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
            ::_exit(10);
        ::umask(0);
        ::_exit(::mkdir(path.c_str(), mode) == 0 ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
