#pragma once
// Replays the inputs a fuzz target kept (its regression folder, and its
// corpus where one is named) through the target's own harness, so that a
// change breaking on one of them fails in the ordinary tests too, without
// clang or sanitizers.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>

using FuzzHarness = std::function<void(const uint8_t*, size_t)>;

// The source tree: VELMORA_SOURCE_DIR, else the folder this was built from.
std::filesystem::path SourceDir();

// Runs every regular file of the folders (paths under the source tree;
// missing folders are skipped) and answers how many ran. The harness aborts
// or throws on what it must never see, so reaching the end is the test.
int ReplayKeptInputs(std::initializer_list<const char*> folders, const FuzzHarness& harness);
