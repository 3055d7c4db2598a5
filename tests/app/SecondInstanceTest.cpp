// The real program started as a second instance, while the test plays the
// first one: it holds the instance lock and, where asked, serves the pipe.
#include "app/NamedPipeClient.h"
#include "output/PortfolioGenerator.h"
#include "platform/ipc/Ipc.h"
#include "tests/app/SingleInstanceTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
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
    int status = 0;
    std::unique_ptr<ChildProcess> second;
    const std::string received = ReceiveOneMessage([&] {
        second = std::make_unique<ChildProcess>(
            std::vector<std::string>{VELMORA_PROGRAM, "Harbour at Dusk.png", "/art/Red Field.jpg"}, kChildEnvironment);
        status = second->Wait();
    });

    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(received, "<?xml version=\"1.0\"?><message><action>AddArtworks</action><file>" + CurrentFolder() +
                            "/Harbour at Dusk.png</file><file>/art/Red Field.jpg</file></message>");
    const std::string errors = second->ErrorOutput();
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

// The first start reads the settings: from a folder others may change it
// does not start at all, and says why.
TEST(FirstInstanceTest, ASettingsFolderOthersMayChangeStopsTheStartWithAMessage)
{
    TempDir home;
    const std::string settings = home / "settings";
    std::filesystem::create_directory(settings);
    ::chmod(settings.c_str(), 0777);
    std::vector<std::string> environment = kChildEnvironment;
    environment.push_back("VELMORA_REGISTRY_DIR=" + settings);
    ChildProcess first({VELMORA_PROGRAM}, environment);
    const int status = first.Wait(120000);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(first.ErrorOutput().find("Velmora Voravev cannot start. The settings folder \"" + settings +
                                       "\" may be changed by other users."),
              std::string::npos)
        << first.ErrorOutput();
    EXPECT_TRUE(std::filesystem::is_empty(settings));
}

} // namespace
