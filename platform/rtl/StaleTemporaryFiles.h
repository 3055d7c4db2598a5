#pragma once
// Temporary files a killed save leaves beside its target: ".save-XXXXXX" of
// the safe file writer and ".zaXXXXXX" of the archiver, both made by
// mkstemp. A later save into the same folder removes those of the current
// user that no process of that user has open any more.
#include <string>

// Best effort: what cannot be checked or removed stays.
void RemoveStaleTemporaryFiles(const std::string& folder);
