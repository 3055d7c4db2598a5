#pragma once
// Shared by the job tests: the real PDF component registered in a registry of
// the test's own, a private temp folder for the generators, the main window
// as the program makes it holding a small portfolio, and ways to wait for a
// job as a user does (by what the windows show).
#include "app/TForm1.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/PortfolioGenerator.h"
#include "output/ProgressThread.h"
#include "output/TForm15.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/TempDir.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

inline const char* const kArtworkTitles[] = {"Red Field", "Harbour at Dusk"};

// Runs the event loop until pred holds or a generous deadline passes.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline std::string Shell(const std::string& command)
{
    std::string out;
    EXPECT_EQ(RunCommand(command + " 2>&1", &out), 0) << command << "\n" << out;
    return out;
}

inline std::string StatusOf(ProgressThread* job)
{
    return job->ProgressForm()->Label1->text().toStdString();
}

class JobTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        savedRegistry_ = std::getenv("VELMORA_REGISTRY_DIR") ? std::getenv("VELMORA_REGISTRY_DIR") : "";
        ::setenv("VELMORA_REGISTRY_DIR", registry_.Path().c_str(), 1);
        savedTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        ::setenv("TMPDIR", temp_.Path().c_str(), 1);
        std::string out;
        ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /s '" + QUORVEX_PDF_MODULE + "' 2>&1", &out), 0) << out;
        MakeForms();
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        ::setenv("VELMORA_REGISTRY_DIR", savedRegistry_.c_str(), 1);
        if (savedTmp_.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", savedTmp_.c_str(), 1);
    }

    // Artworks go straight into the portfolio (there is no strip yet).
    void AddArtworks(Portfolio* portfolio, int count)
    {
        for (int i = 0; i < count; ++i) {
            QImage image(160, 120, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 90, 200, 200));
            const std::string path = sources_ / ("art" + std::to_string(i) + ".png");
            ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
            auto picture = std::make_unique<Picture>(portfolio);
            ASSERT_TRUE(picture->LoadFromFile(path));
            picture->SetTitle(kArtworkTitles[i % 2]);
            portfolio->AddPicture(picture.release());
        }
    }

    ProgressThread* LastJob() const
    {
        const auto& jobs = form1_->Jobs();
        return jobs.empty() ? nullptr : jobs.back().get();
    }

    // Waits until the job has shown its final status with Close enabled.
    bool WaitClosable(ProgressThread* job)
    {
        return WaitUntil([job] { return job->Finished() && job->ProgressForm()->Button1->isEnabled(); });
    }

    // The folders the generators made under the working folder.
    int OutputFolders() const
    {
        const std::filesystem::path working = PortfolioGenerator::GetWorkingFolder();
        if (!std::filesystem::exists(working))
            return 0;
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(working))
            n += entry.is_directory() ? 1 : 0;
        return n;
    }

    TempDir registry_, temp_, sources_;
    std::string savedRegistry_, savedTmp_;
};
