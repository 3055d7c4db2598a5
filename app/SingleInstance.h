#pragma once
// The start of the program as one instance among several starts: the first
// start takes the instance lock and runs; a later start, finding it held,
// hands its command line to the running instance and ends. Runs first in
// WinMain, before any application object exists.
#include "platform/ipc/Ipc.h"

#include <optional>
#include <string>
#include <vector>

class NamedPipeClient;

// Takes the instance lock. When this process is the instance, returns
// nothing and leaves the held lock in *instanceLock for CloseHandle at the
// very end of the run. Otherwise hands the command line over and returns
// the exit code: 0 when the running instance has it, 1 when it could not
// be handed over or the lock could not be made at all (its folder is not a
// private one of ours): the reason on stderr, and in a message box when a
// display is there.
std::optional<int> HandOverToRunningInstance(int argc, char** argv, HANDLE* instanceLock);

// Sends the message that args (args[0] the program) ask for: nothing after
// the program brings the running instance to the front, "/open" (exactly)
// opens the file after it, anything else adds every argument as an
// artwork. Relative paths are made absolute against currentFolder, since
// the running instance has a current folder of its own.
bool HandOver(NamedPipeClient& client, const std::vector<std::string>& args, const std::string& currentFolder);
