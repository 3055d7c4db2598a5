// ipc-holder-helper NAME [pipe|serve]: takes the mutex NAME and prints
// "owned" or "exists"; with "pipe", an owner also binds the pipe of that
// name and prints "listening"; "serve" then also reads one message and
// prints "received <message>". Then it holds both until its standard input
// ends.
#include "platform/ipc/Ipc.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string name = argv[1];
    HANDLE mutex = CreateMutexA(nullptr, true, name);
    if (!mutex) {
        std::printf("failed %u\n", GetLastError());
        return 1;
    }
    const bool owned = GetLastError() == ERROR_SUCCESS;
    std::printf("%s\n", owned ? "owned" : "exists");
    HANDLE pipe = nullptr;
    const bool serve = argc > 2 && std::strcmp(argv[2], "serve") == 0;
    if (owned && argc > 2 && (std::strcmp(argv[2], "pipe") == 0 || serve)) {
        pipe = CreateNamedPipeA("\\\\.\\pipe\\" + name, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_WAIT, 255,
                                2048, 2048, 10000, nullptr);
        std::printf("%s\n", pipe ? "listening" : "no pipe");
        std::fflush(stdout);
        if (pipe && serve && ConnectNamedPipe(pipe, nullptr)) {
            std::string message;
            char buffer[256];
            DWORD n = 0;
            while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr))
                message.append(buffer, n);
            std::printf("received %s\n", message.c_str());
        }
    }
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    if (pipe)
        CloseHandle(pipe);
    CloseHandle(mutex);
    return 0;
}
