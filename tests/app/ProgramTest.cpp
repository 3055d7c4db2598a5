// The real program, started as the run command starts it, on an X server of
// its own: it shows the main window and ends with 0 on the close request a
// window manager sends.
#include "tests/app/QuietStart.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Shell-quotes a word.
std::string Quoted(const std::string& word)
{
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"config", "data", "cache", "registry", "runtime", "tmp"})
            fs::create_directories(home_.Path() / folder);
        ::chmod((home_.Path() / "runtime").c_str(), 0700);
        ChooseQuietStart(home_ / "registry");
    }

    // The environment of a user of this private home, on the X server.
    std::string Environment() const
    {
        return "env HOME=" + Quoted(home_.Path()) + " XDG_CONFIG_HOME=" + Quoted(home_ / "config") +
               " XDG_DATA_HOME=" + Quoted(home_ / "data") + " XDG_CACHE_HOME=" + Quoted(home_ / "cache") +
               " XDG_RUNTIME_DIR=" + Quoted(home_ / "runtime") + " VELMORA_REGISTRY_DIR=" + Quoted(home_ / "registry") +
               " TMPDIR=" + Quoted(home_ / "tmp") + " VELMORA_BUILD_DIR=" + Quoted(VELMORA_BUILD_DIR_PATH) +
               " QT_QPA_PLATFORM=xcb ";
    }

    // Every file of the private registry, concatenated.
    std::string RegistryBytes() const
    {
        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(home_.Path() / "registry"))
            if (entry.is_regular_file())
                all += ReadFileBytes(entry.path().string());
        return all;
    }

    TempDir home_;
};

TEST_F(ProgramTest, ShowsTheMainWindowUnderXAndEndsWithZeroOnACloseRequest)
{
    ASSERT_EQ(RegistryBytes().find("Quorvex.PDFDocument"), std::string::npos);
    std::string out;
    const int status = RunCommand(Environment() + "xvfb-run -a -s '-screen 0 1280x1024x24' /usr/bin/python3 " +
                                      Quoted(CLOSE_MAIN_WINDOW_SCRIPT) + " 'Velmora Voravev' bash " +
                                      Quoted(START_SCRIPT) + " 2>&1",
                                  &out);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("shown: Velmora Voravev 2.0"), std::string::npos) << out;

    // The start registered the PDF component; registering again changes nothing.
    const std::string registered = RegistryBytes();
    EXPECT_NE(registered.find("Quorvex.PDFDocument"), std::string::npos);
    ASSERT_EQ(RunCommand(Environment() + Quoted(std::string(VELMORA_BUILD_DIR_PATH) + "/bin/regsvr") + " /s " +
                         Quoted(std::string(VELMORA_BUILD_DIR_PATH) + "/bin/quorvex-pdf.so") + " 2>&1",
                         &out),
              0)
        << out;
    EXPECT_EQ(RegistryBytes(), registered);
}

} // namespace
