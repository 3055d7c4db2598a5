#pragma once
// A program started by a test with pipes on its standard streams: the test
// reads its output line by line with a deadline, ends its input, and waits
// for or kills it. The destructor kills a child that still runs.
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    // args[0] is the program's path. env entries "NAME=value" are set and
    // "NAME" alone is unset in the child, on top of our environment.
    explicit ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // The next line of standard output without its line end; false when the
    // output ends or timeoutMs passes first.
    bool ReadLine(std::string* line, int timeoutMs = 60000);
    // Closes the child's standard input.
    void CloseInput();
    void Kill(int signal);
    // Waits for the end; returns the wait status, or -1 when timeoutMs passes.
    int Wait(int timeoutMs = 60000);
    // Everything the child wrote to standard error (after it ended).
    std::string ErrorOutput();

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string pending_;
    std::string errorText_;
    bool reaped_ = false;
    int status_ = 0;
};
