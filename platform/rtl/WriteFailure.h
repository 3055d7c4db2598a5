#pragma once
// What a user is told when a file could not be written, from the error code
// the system gave: a full disk is named as such, with the folder that has no
// room, rather than as a file that "could not be written".
#include <string>

// error: the errno value of the failed call; 0 when the cause is not known,
// in which case none is given.
std::string WriteFailureText(const std::string& path, int error);
