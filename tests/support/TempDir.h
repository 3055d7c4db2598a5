#pragma once
#include <filesystem>
#include <string>

// A fresh private folder, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes to a file under the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

// Reads a whole file into a string (empty when missing).
std::string ReadFileBytes(const std::string& path);
// Runs a shell command and returns its exit status; its output goes to *out.
int RunCommand(const std::string& command, std::string* out = nullptr);
