#pragma once
// The settings a user chose once, written into the registry folder of a
// private home before a test starts the program there: no welcome window,
// no update check.
#include "model/Options.h"

#include <cstdlib>
#include <string>

inline void ChooseQuietStart(const std::string& registryFolder)
{
    const char* old = std::getenv("VELMORA_REGISTRY_DIR");
    const std::string saved = old ? old : "";
    ::setenv("VELMORA_REGISTRY_DIR", registryFolder.c_str(), 1);
    Options::FreeInstance();
    Options::Instance()->SetShowWelcome(false);
    Options::Instance()->SetCheckForUpdates(false);
    Options::FreeInstance();
    ::setenv("VELMORA_REGISTRY_DIR", saved.c_str(), 1);
}
