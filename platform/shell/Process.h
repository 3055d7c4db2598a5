#pragma once
// Starting programs with an argument vector, never through a shell: the
// arguments reach the program exactly as given. A name without "/" is looked
// up in PATH. The child inherits the standard streams only; every other
// descriptor is closed in it.
#include <string>
#include <vector>

enum class StartError {
    None,
    NotFound,      // no such file, or not in PATH
    NotPermitted,  // no permission to run it (or to reach it)
    NotExecutable, // not a program: e.g. a script without "#!"
    Other,
};

struct StartResult {
    StartError error = StartError::None;
    int systemError = 0; // errno of the failure
    explicit operator bool() const { return error == StartError::None; }
    // A sentence for the user; empty on success.
    std::string Message(const std::string& program) const;
};

// Starts the program and waits for it; *waitStatus (when given) receives its
// wait status (WIFEXITED, WEXITSTATUS).
StartResult RunAndWait(const std::vector<std::string>& args, int* waitStatus = nullptr);
// Starts the program in a session of its own (it outlives us and is not
// hit by our terminal's signals) and reaps it in the background once it ends.
// *pid (when given) receives its process id.
StartResult StartDetached(const std::vector<std::string>& args, int* pid = nullptr);
// The full path a program name would run as: a name with "/" as it is when
// it is an executable file, else the first executable match in PATH; empty
// when there is none.
std::string FindProgram(const std::string& name);
