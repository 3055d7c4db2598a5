// The preview and export jobs as the main window starts them: real worker
// threads, the real generators and PDF component on a small portfolio, the
// progress window, the preview window and the message boxes as a user
// meets them.
#include "app/ExportThread.h"
#include "app/PreviewThread.h"
#include "output/Form1.h"
#include "output/PDFGenerator.h"
#include "output/TForm10.h"
#include "platform/rtl/Exception.h"
#include "tests/app/JobTestSupport.h"
#include "tests/support/KilledSave.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/WindowStacking.h"

#include <QAction>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <fstream>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PreviewExportJobsTest : public JobTest {
protected:
    // Exports to target on a job of its own; the user closes the one
    // message box it shows, whose text is returned.
    std::string ExportAnsweringOneBox(const std::string& target, std::unique_ptr<ExportThread>& job)
    {
        form1_->show();
        ModalDriver driver;
        std::vector<std::string> coveredBy{"not seen"};
        bool active = false;
        driver.Then([&](QWidget* box) {
            coveredBy = WindowsCovering(box);
            active = QApplication::activeWindow() == box;
            static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        job = std::make_unique<ExportThread>(CurrentPortfolio(), target, false);
        job->WaitFor();
        EXPECT_TRUE(driver.WaitAllDone()) << driver.Report();
        // Over the progress window, which stays on top: the user sees why.
        EXPECT_EQ(coveredBy, std::vector<std::string>{});
        EXPECT_TRUE(active);
        if (driver.Seen().empty())
            return {};
        EXPECT_EQ(driver.Seen()[0].title, "Oooops!");
        EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Critical);
        return driver.Seen()[0].text;
    }

    void Trigger(const char* action)
    {
        auto* item = form1_->findChild<QAction*>(action);
        ASSERT_NE(item, nullptr) << action;
        item->trigger();
    }

    // The preview window is modal inside a call the job hands to the main
    // thread, so it is watched from a timer: once its page has loaded, its
    // folder is noted and the user closes it.
    void ClosePreviewsWhenLoaded()
    {
        QObject::connect(&closer_, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* form = qobject_cast<TForm10*>(widget);
                if (!form || !form->isVisible())
                    continue;
                if (!watched_.count(form)) {
                    watched_.insert(form);
                    QObject::connect(form->WebBrowser1, &QWebEngineView::loadFinished, form,
                                     [this, form](bool ok) { if (ok) loaded_.insert(form); });
                } else if (loaded_.count(form)) {
                    loaded_.erase(form);
                    folders_.push_back(form->WebBrowser1->url().toLocalFile().toStdString());
                    progressShown_.push_back(LastJob() && LastJob()->ProgressForm()->isVisible());
                    foldersExisted_.push_back(fs::exists(folders_.back()));
                    form->accept();
                }
            }
        });
        closer_.start(50);
    }

    QTimer closer_;
    std::vector<std::string> folders_;
    std::vector<bool> progressShown_, foldersExisted_;
    std::set<TForm10*> watched_, loaded_;
};

TEST_F(PreviewExportJobsTest, WithoutArtworksNothingStarts)
{
    const struct {
        const char* action;
        const char* text;
    } cases[] = {
        {"ToolButton4", "You must add in some artworks before you can preview your portfolio."},
        {"ToolButton10", "You must add in some artworks before you can export your portfolio."},
        {"ExportasPDF1", "You must add in some artworks before you can export your portfolio."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        ModalDriver driver;
        driver.Press(QMessageBox::Ok);
        Trigger(c.action);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        EXPECT_EQ(driver.Seen()[0].title, "Oooops!");
        EXPECT_EQ(driver.Seen()[0].text, c.text);
        EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Information);
    }
    EXPECT_TRUE(form1_->Jobs().empty());
}

TEST_F(PreviewExportJobsTest, ExportReplacesTheChosenFileWithTheWholePortfolio)
{
    AddArtworks(CurrentPortfolio(), 2);
    const std::string target = sources_ / "old.pdf";
    std::ofstream(target) << "an older export";
    form1_->show();

    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(target)).Press(QMessageBox::Yes);
    Trigger("ExportasPDF1");
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    ASSERT_EQ(form1_->Jobs().size(), 1u);
    ProgressThread* job = LastJob();
    EXPECT_EQ(job->Title(), "Export...");
    ASSERT_TRUE(WaitClosable(job));

    EXPECT_EQ(StatusOf(job), "Finished. Your portfolio was exported successfully.");
    EXPECT_TRUE(job->ProgressForm()->isVisible()) << "the user reads the outcome";
    EXPECT_FALSE(form1_->isEnabled());
    QTest::mouseClick(job->ProgressForm()->Button1, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return form1_->isEnabled(); }));

    const std::string info = Shell("pdfinfo '" + target + "'");
    EXPECT_NE(info.find("Pages:"), std::string::npos) << info;
    const std::string text = Shell("pdftotext -enc UTF-8 '" + target + "' -");
    for (const char* title : kArtworkTitles)
        EXPECT_NE(text.find(title), std::string::npos) << title << "\n" << text;
    EXPECT_EQ(OutputFolders(), 0) << "the generator's folder goes with the job";
    // Only the export itself is left beside the target.
    EXPECT_EQ(std::distance(fs::directory_iterator(sources_.Path()), fs::directory_iterator()), 3);
}

TEST_F(PreviewExportJobsTest, ExportRemovesWhatAKilledExportLeftAndNoFileOfTheUser)
{
    AddArtworks(CurrentPortfolio(), 1);
    const std::string target = sources_ / "portfolio.pdf";
    std::ofstream(target) << "an older export";
    const char* const users[] = {".save-backup", ".save-thesis", ".za2024", ".portfolio.pdf.swp"};
    for (const char* name : users)
        sources_.Write(name, "the user's own");
    const std::set<std::string> killed = LeaveKilledSave(target);
    form1_->show();

    ExportThread job(CurrentPortfolio(), target, false);
    ASSERT_TRUE(WaitClosable(&job));
    EXPECT_EQ(StatusOf(&job), "Finished. Your portfolio was exported successfully.");
    QTest::mouseClick(job.ProgressForm()->Button1, Qt::LeftButton);

    EXPECT_EQ(ReadFileBytes(target).rfind("%PDF", 0), 0u);
    for (const char* name : users)
        EXPECT_EQ(ReadFileBytes(sources_ / name), "the user's own") << name;
    for (const std::string& name : killed)
        EXPECT_FALSE(fs::exists(sources_ / name)) << name;
}

TEST_F(PreviewExportJobsTest, ExportThatCannotWriteTellsThePathAndKeepsTheOldFile)
{
    AddArtworks(CurrentPortfolio(), 1);
    // A folder nobody may write into; root writes anywhere but in /proc.
    std::string target;
    if (::geteuid() == 0) {
        target = "/proc/version";
    } else {
        const fs::path locked = sources_.Path() / "locked";
        fs::create_directory(locked);
        target = (locked / "old.pdf").string();
        std::ofstream(target) << "an older export";
        ::chmod(locked.c_str(), 0555);
    }
    const std::string before = ReadFileBytes(target);
    std::unique_ptr<ExportThread> job;
    const std::string text = ExportAnsweringOneBox(target, job);
    // The cause is the one the system gave, not a guess.
    const std::string told =
        "The portfolio was not exported. The file \"" + target + "\" could not be written: ";
    EXPECT_EQ(text.substr(0, told.size()), told);
    EXPECT_EQ(text.find(target), text.rfind(target)) << "the path once: " << text;
    EXPECT_FALSE(job->ProgressForm()->isVisible());
    EXPECT_TRUE(form1_->isEnabled());
    EXPECT_EQ(ReadFileBytes(target), before);
    EXPECT_EQ(OutputFolders(), 0);
    if (::geteuid() != 0) {
        ::chmod(fs::path(target).parent_path().c_str(), 0755);
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(target).parent_path()), fs::directory_iterator()), 1);
    }
}

TEST_F(PreviewExportJobsTest, ExportOntoAFullDiskSaysSoAndLeavesNothingBehind)
{
    SmallDisk disk(64 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    AddArtworks(CurrentPortfolio(), 1);
    const std::string target = disk / "export.pdf";
    std::ofstream(target) << "an older export";
    {
        // Whatever room is left goes to a filler.
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
        }
    }
    std::unique_ptr<ExportThread> job;
    EXPECT_EQ(ExportAnsweringOneBox(target, job),
              "The portfolio was not exported. The disk is full: the folder \"" + disk.Path() +
                  "\" has no room left for \"export.pdf\".\n\nChoose another folder, or make room on the disk, then "
                  "export again.");
    EXPECT_EQ(ReadFileBytes(target), "an older export");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(disk.Path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"export.pdf", "filler"}));
}

TEST_F(PreviewExportJobsTest, ExportWithoutThePdfComponentNamesTheCause)
{
    AddArtworks(CurrentPortfolio(), 1);
    // As a program started directly, without the run command's registration.
    std::string out;
    ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /u /s '" + QUORVEX_PDF_MODULE + "' 2>&1", &out), 0) << out;
    form1_->show();
    const std::string target = sources_ / "portfolio.pdf";
    ExportThread job(CurrentPortfolio(), target, false);
    ASSERT_TRUE(WaitClosable(&job));
    EXPECT_EQ(StatusOf(&job),
              "Error: The PDF document component is not registered.");
    EXPECT_EQ(job.ProgressForm()->ProgressBar1->value(), 0);
    EXPECT_FALSE(fs::exists(target));
    QTest::mouseClick(job.ProgressForm()->Button1, Qt::LeftButton);
    EXPECT_TRUE(form1_->isEnabled());
}

TEST_F(PreviewExportJobsTest, PreviewsShowThePagesAndRemoveThemWhenClosed)
{
    AddArtworks(CurrentPortfolio(), 2);
    form1_->show();
    ClosePreviewsWhenLoaded();
    // Two previews in a row: each its own job, window and folder.
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        Trigger("ToolButton4");
        ASSERT_EQ(form1_->Jobs().size(), static_cast<size_t>(i + 1));
        ProgressThread* job = LastJob();
        EXPECT_EQ(job->Title(), "Preview...");
        ASSERT_TRUE(WaitUntil([&] { return job->Finished(); }));
        job->WaitFor();
        ASSERT_EQ(folders_.size(), static_cast<size_t>(i + 1));
        EXPECT_TRUE(foldersExisted_.back());
        EXPECT_FALSE(progressShown_.back()) << "the progress window makes way for the preview";
        EXPECT_FALSE(fs::exists(folders_.back()));
        EXPECT_TRUE(form1_->isEnabled());
    }
    EXPECT_NE(folders_[0], folders_[1]);
    EXPECT_NE(form1_->Jobs()[0]->ProgressForm(), form1_->Jobs()[1]->ProgressForm());
    EXPECT_EQ(OutputFolders(), 0);
}

TEST_F(PreviewExportJobsTest, AnArtworkWithoutAPictureIsNamedInTheErrorWithCloseEnabled)
{
    // An older portfolio file can hold an artwork without a picture.
    Portfolio portfolio;
    AddArtworks(&portfolio, 2);
    auto* empty = new Picture(&portfolio);
    empty->SetTitle("Lost Study");
    portfolio.AddPicture(empty);
    const std::string expected = "Error: Artwork 3 (\"Lost Study\") has no picture. Give it one or remove it, then try again.";
    const std::string target = sources_ / "never.pdf";

    struct Case {
        const char* name;
        std::function<std::unique_ptr<ProgressThread>()> make;
    };
    const Case cases[] = {
        {"HTML preview", [&] { return std::make_unique<PreviewThread>(&portfolio, PortfolioGenerator::kHtml, false); }},
        {"PDF preview", [&] { return std::make_unique<PreviewThread>(&portfolio, PortfolioGenerator::kPdf, false); }},
        {"export", [&] { return std::make_unique<ExportThread>(&portfolio, target, false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ProgressThread> job = c.make();
        ASSERT_TRUE(WaitClosable(job.get()));
        EXPECT_EQ(StatusOf(job.get()), expected);
        EXPECT_TRUE(job->ProgressForm()->isVisible());
        QTest::mouseClick(job->ProgressForm()->Button1, Qt::LeftButton);
        EXPECT_FALSE(job->ProgressForm()->isVisible());
    }
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(PreviewExportJobsTest, UnknownGeneratorKindIsRefused)
{
    try {
        PreviewThread job(CurrentPortfolio(), 3, false);
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "Invalid Generator Type");
    }
    EXPECT_EQ(OutputFolders(), 0);
}

TEST_F(PreviewExportJobsTest, PdfPreviewHandsThePdfToTheViewer)
{
    AddArtworks(CurrentPortfolio(), 1);
    // The viewer records what it was given and what pdfinfo makes of it.
    const std::string log = sources_ / "viewer.log";
    const std::string viewer = sources_.Write("viewer.sh", "#!/bin/sh\necho \"$1\" > '" + log +
                                                               "'\npdfinfo \"$1\" >> '" + log + "' 2>&1\n");
    ::chmod(viewer.c_str(), 0755);
    const std::string oldViewer = PDFGenerator::GetViewerCommand();
    PDFGenerator::SetViewerCommand(viewer);
    {
        PreviewThread job(CurrentPortfolio(), PortfolioGenerator::kPdf, false);
        ASSERT_TRUE(WaitUntil([&] { return job.Finished(); }));
        job.WaitFor();
        const std::string seen = ReadFileBytes(log);
        EXPECT_EQ(fs::path(seen.substr(0, seen.find('\n'))).filename(), "portfolio.pdf") << seen;
        EXPECT_NE(seen.find("Pages:"), std::string::npos) << seen;
        ASSERT_NE(job.Generator(), nullptr) << "the PDF stays until the job goes";
        EXPECT_EQ(OutputFolders(), 1);
    }
    PDFGenerator::SetViewerCommand(oldViewer);
    EXPECT_EQ(OutputFolders(), 0);
}

TEST_F(PreviewExportJobsTest, ClosingTheMainWindowEndsAJobWaitingOnIt)
{
    AddArtworks(CurrentPortfolio(), 1);
    form1_->show();
    const std::string target = sources_ / "export.pdf";
    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(target));
    Trigger("ToolButton10");
    ASSERT_EQ(form1_->Jobs().size(), 1u);
    ProgressThread* job = LastJob();
    ASSERT_TRUE(WaitUntil([&] { return job->ProgressForm()->isVisible(); }));
    // The job now hands its statuses to the main thread, which is busy
    // destroying the window: asked to stop, it ends without a box and
    // without writing the file.
    form6_.reset();
    Form6 = nullptr;
    form1_.reset();
    EXPECT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(OutputFolders(), 0);
}

} // namespace
