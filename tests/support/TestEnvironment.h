#pragma once
#include "tests/support/TempDir.h"

// Points the registry, data, config and cache folders of this process (and
// the programs it starts) into home, so no test touches the user's real
// settings, and sets the locale and platform that tests expect.
void UsePrivateTestEnvironment(const TempDir& home);
