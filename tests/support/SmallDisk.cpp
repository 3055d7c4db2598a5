#include "tests/support/SmallDisk.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

SmallDisk::SmallDisk(int64_t bytes)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "small-disk-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        return;
    path_ = name.data();
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (path_.empty())
        return;
    if (mounted_)
        ::umount2(path_.c_str(), MNT_DETACH);
    ::rmdir(path_.c_str());
}
