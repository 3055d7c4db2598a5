#pragma once
// A real file system that fills up: a tmpfs of a few hundred kilobytes
// mounted on a fresh folder, unmounted and removed when destroyed. Mounting
// needs root; Mounted() says whether it worked, so a test can skip.
#include <cstdint>
#include <string>

class SmallDisk {
public:
    explicit SmallDisk(int64_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    bool mounted_ = false;
};
