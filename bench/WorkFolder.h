#pragma once
// A private folder for a benchmark's files, removed with them on exit.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

class WorkFolder {
public:
    explicit WorkFolder(const std::string& prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        path_ = pattern;
    }
    ~WorkFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

    // Points the settings, data, cache (and with temp, the temporary) folders
    // of this process into the work folder, away from the user's own.
    void HoldUserFolders(bool temp = false) const
    {
        for (const char* var : {"VELMORA_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
            if (!temp && std::string(var) == "TMPDIR")
                continue;
            std::filesystem::create_directories(path_ / var);
            ::setenv(var, (path_ / var).c_str(), 1);
        }
    }

private:
    std::filesystem::path path_;
};
