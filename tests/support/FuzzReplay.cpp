#include "tests/support/FuzzReplay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/TempDir.h"

std::filesystem::path SourceDir()
{
    // The build passes absolute source paths, so the tree is found also when
    // a test runs outside CTest.
    const char* source = std::getenv("VELMORA_SOURCE_DIR");
    return source ? std::filesystem::path(source)
                  : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

int ReplayKeptInputs(std::initializer_list<const char*> folders, const FuzzHarness& harness)
{
    int replayed = 0;
    for (const char* folder : folders) {
        const std::filesystem::path dir = SourceDir() / folder;
        if (!std::filesystem::is_directory(dir))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            SCOPED_TRACE(entry.path().string());
            const std::string bytes = ReadFileBytes(entry.path().string());
            harness(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    return replayed;
}
