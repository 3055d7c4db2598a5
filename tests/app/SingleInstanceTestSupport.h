#pragma once
// Shared by the single-instance tests: the main window made with settings of
// the test's own, and a server of our own that reads the one message a
// client sends.
#include "app/NamedPipeClient.h"
#include "model/Options.h"
#include "platform/ipc/Ipc.h"
#include "tests/app/JobTestSupport.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

// The bytes one client sends over the program's pipe while send() runs
// (empty when none comes within a minute).
inline std::string ReceiveOneMessage(const std::function<void()>& send)
{
    const std::string name = NamedPipeClient::PipeName();
    HANDLE instance = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE, 255, 2048, 2048, 10000, nullptr);
    EXPECT_NE(instance, nullptr) << GetLastError();
    std::string received;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        if (ConnectNamedPipe(instance, nullptr)) {
            char buffer[2048];
            DWORD n = 0;
            while (ReadFile(instance, buffer, 2047, &n, nullptr))
                received.append(buffer, n);
        }
        done = true;
    });
    send();
    // A client that never came must not keep the reader waiting for ever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done)
        ShutdownNamedPipe(name);
    reader.join();
    CloseHandle(instance);
    ShutdownNamedPipe(name);
    return received;
}

// Runs the event loop until the main window's server takes connections: it
// starts with the event loop, and a client sent before would wait for it
// while holding the loop up.
inline bool WaitUntilServing()
{
    return WaitUntil([] { return std::filesystem::is_socket(NamedPipeSocketPath(NamedPipeClient::PipeName())); });
}

// The main window (welcome window off) over a registry of the test's own.
class PrivateSettingsWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        savedRegistry_ = std::getenv("VELMORA_REGISTRY_DIR");
        ::setenv("VELMORA_REGISTRY_DIR", registry_.Path().c_str(), 1);
        Options::FreeInstance();
        MakeForms();
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        Options::FreeInstance();
        ::setenv("VELMORA_REGISTRY_DIR", savedRegistry_.c_str(), 1);
    }

    TempDir registry_;
    std::string savedRegistry_;
};
