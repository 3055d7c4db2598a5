#pragma once
// Starting programs with an argument vector, never through a shell: the
// arguments reach the program exactly as given. A name without "/" is looked
// up in PATH. The child inherits the standard streams only; every other
// descriptor is closed in it.
#include <functional>
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
// As RunAndWait, but stops waiting once stop() answers true (asked several
// times a second): the program then runs on by itself, is reaped in the
// background, and *abandoned is set (*waitStatus is left alone).
StartResult RunAndWaitUnless(const std::vector<std::string>& args, const std::function<bool()>& stop,
                             int* waitStatus, bool* abandoned);
// Starts the program in a session of its own (it outlives us and is not
// hit by our terminal's signals) and reaps it in the background once it ends.
// *pid (when given) receives its process id.
StartResult StartDetached(const std::vector<std::string>& args, int* pid = nullptr);
// The words of a command line, split at blanks (space, tab) outside quotes;
// each of the quote characters groups up to its next occurrence and is
// dropped. Nothing else is special: no escapes, no expansion. "" is an
// empty word.
std::vector<std::string> SplitCommandWords(const std::string& command, const std::string& quotes = "\"");
// The full path a program name would run as: a name with "/" as it is when
// it is an executable file, else the first executable match in PATH; empty
// when there is none.
std::string FindProgram(const std::string& name);

// Hands a web address (http or https) to the desktop's handler, xdg-open,
// detached. Anything else is refused without starting a program: an
// address that starts with "-" would be read as an option, and a file or
// other scheme would open more than a web page.
StartResult OpenWebAddress(const std::string& address);
