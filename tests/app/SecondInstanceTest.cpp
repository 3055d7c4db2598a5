// The real program started as a second instance, while the test plays the
// first one: it holds the instance lock and, where asked, serves the pipe.
#include "app/NamedPipeClient.h"
#include "output/PortfolioGenerator.h"
#include "platform/ipc/Ipc.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The second start runs offscreen without a display, and tells when it
// loads any Qt plugin (which only an application object does).
const std::vector<std::string> kChildEnvironment = {"QT_QPA_PLATFORM=offscreen", "DISPLAY", "WAYLAND_DISPLAY",
                                                    "QT_DEBUG_PLUGINS=1"};

std::string CurrentFolder()
{
    char folder[4096];
    return ::getcwd(folder, sizeof folder) ? folder : "";
}

class SecondInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lock_ = CreateMutexA(nullptr, true, PortfolioGenerator::ApplicationKey);
        ASSERT_NE(lock_, nullptr);
        ASSERT_EQ(GetLastError(), ERROR_SUCCESS);
    }
    void TearDown() override { CloseHandle(lock_); }

    HANDLE lock_ = nullptr;
};

TEST_F(SecondInstanceTest, HandsItsFilesToTheRunningInstanceAndEndsWithoutAWindow)
{
    const std::string name = NamedPipeClient::PipeName();
    HANDLE instance = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE, 255, 2048, 2048, 10000, nullptr);
    ASSERT_NE(instance, nullptr);
    std::string received;
    std::thread reader([&] {
        if (!ConnectNamedPipe(instance, nullptr))
            return;
        char buffer[2048];
        DWORD n = 0;
        while (ReadFile(instance, buffer, 2047, &n, nullptr))
            received.append(buffer, n);
    });

    ChildProcess second({VELMORA_PROGRAM, "Harbour at Dusk.png", "/art/Red Field.jpg"}, kChildEnvironment);
    const int status = second.Wait();
    reader.join();
    CloseHandle(instance);
    ShutdownNamedPipe(name);

    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(received, "<?xml version=\"1.0\"?><message><action>AddArtworks</action><file>" + CurrentFolder() +
                            "/Harbour at Dusk.png</file><file>/art/Red Field.jpg</file></message>");
    const std::string errors = second.ErrorOutput();
    EXPECT_EQ(errors.find("QFactoryLoader"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("qt.core.plugin"), std::string::npos) << errors;
}

TEST_F(SecondInstanceTest, FailsWithExitCodeOneWhenNobodyServesThePipe)
{
    ChildProcess second({VELMORA_PROGRAM}, kChildEnvironment);
    // It waits for an instance that is still starting, up to ten seconds.
    const int status = second.Wait(120000);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(second.ErrorOutput().find("Failed to open the client named pipe."), std::string::npos)
        << second.ErrorOutput();
}

} // namespace
