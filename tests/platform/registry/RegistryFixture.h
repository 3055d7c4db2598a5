#pragma once
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "tests/support/TempDir.h"

// Every test gets a registry folder of its own, so hives never leak between tests.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("VELMORA_REGISTRY_DIR");
        saved_ = old ? old : "";
        setenv("VELMORA_REGISTRY_DIR", dir_.Path().c_str(), 1);
    }
    void TearDown() override { setenv("VELMORA_REGISTRY_DIR", saved_.c_str(), 1); }

    std::string HivePath(const std::string& root = "HKEY_CURRENT_USER") const { return dir_ / (root + ".reg"); }

    TempDir dir_;
    std::string saved_;
};
