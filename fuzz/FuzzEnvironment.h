#pragma once
// What every fuzz target of the program's own code needs before its first
// input: settings, data and caches in a private folder that dies with the
// process, so a run neither reads nor changes the user's, and a temp folder
// of its own for the files the targets write.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

class FuzzEnvironment {
public:
    static const FuzzEnvironment& Instance()
    {
        static FuzzEnvironment environment;
        return environment;
    }
    // A file name inside the private folder.
    std::string File(const std::string& name) const { return (root_ / name).string(); }

private:
    FuzzEnvironment()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
        for (const char* var : {"VELMORA_REGISTRY_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
            const std::filesystem::path dir = root_ / var;
            std::filesystem::create_directories(dir);
            ::setenv(var, dir.c_str(), 1);
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("LC_ALL", "C.UTF-8", 0);
    }
    ~FuzzEnvironment()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    std::filesystem::path root_;
};
