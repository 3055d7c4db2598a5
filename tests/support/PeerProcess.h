#pragma once
// A peer program for tests (a Python server under /usr/bin/python3) that
// prints "PORT <n>" as its first line once it listens on 127.0.0.1. It reads
// its standard input until it closes, so it ends with the test process even
// when the test dies; Stop ends it at once.
#include <string>
#include <sys/types.h>
#include <vector>

class PeerProcess {
public:
    // Starts args (args[0] is the program's path) and waits up to a minute
    // for its port; throws std::runtime_error when none comes.
    explicit PeerProcess(const std::vector<std::string>& args);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    int Port() const { return port_; }
    void Stop();

private:
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
};
