#pragma once
// TForm1 (unit MainForm): the main window and the owner of the open
// portfolio. Menus and the tool bar reach the commands; the page strip sits
// in Panel1 and the page of the selected item in Panel2. Main thread only,
// except where a call says otherwise.
#include "output/Form1Commands.h"

#include <QMainWindow>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AddArtworksThread;
class BurnThread;
struct DecodedArtwork;
class Options;
class Picture;
class Portfolio;
class ProgressThread;
class QAction;
class QImage;
class TOpenDialog;
class TSaveDialog;
class NamedPipeServer;
class TForm11;
class TSmoothImageListBox;
class UpdateThread;

namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow, public TForm1Commands {
    Q_OBJECT

public:
    // arguments: the command line after the program itself. None: a new
    // portfolio (and the welcome window when the settings ask for it);
    // "/open" and a file: that portfolio ("/open" alone asks for one);
    // anything else: picture files, each a new artwork.
    explicit TForm1(const std::vector<std::string>& arguments = {}, QWidget* owner = nullptr);
    ~TForm1() override;

    // The open portfolio; one exists from the end of construction on.
    Portfolio* GetPortfolio() const { return portfolio_.get(); }
    // Replaces the open portfolio by a new one holding the saved artist
    // details, after offering to save a modified one; a save that fails or
    // is cancelled keeps the current portfolio.
    void NewPortfolio();
    // Opens the portfolio file (empty: asks for one), after offering to save
    // a modified portfolio; a save that fails or is cancelled opens nothing.
    // A file that cannot be read is reported, leaves the recent files and
    // gives way to a new empty portfolio. True when the file was opened.
    bool OpenPortfolio(const std::string& fileName);
    // Saves to the portfolio's file, asking for one when it has none. False
    // when cancelled or failed (a failure is reported).
    bool SavePortfolio() override;
    // The save question over a modified portfolio: false when the user
    // answered Yes and the save failed or was cancelled.
    bool SaveIfWanted();
    // Asks for the PDF file and starts the export job.
    void ExportPortfolio();
    // Deletes the portfolio and ends the event loop.
    void ExitApplication();

    // Stops the burn job and every update job and waits for their ends,
    // before the process-wide objects they use go; the window keeps working.
    void StopBackgroundJobs();

    // TForm1Commands (the update job)
    void SetCheckForUpdatesEnabled(bool enabled) override;
    bool IsPortfolioModified() override;
    void RequestQuit(int exitCode) override;

    // The preview, export and e-mail jobs started so far, oldest first; they
    // stay until the window is destroyed.
    const std::vector<std::unique_ptr<ProgressThread>>& Jobs() const { return jobs_; }
    BurnThread* BurnJob() const { return burnJob_.get(); }
    const std::vector<std::unique_ptr<UpdateThread>>& UpdateJobs() const { return updateJobs_; }

    std::unique_ptr<TOpenDialog> OpenDialog1;
    std::unique_ptr<TSaveDialog> SaveDialog1;
    std::unique_ptr<TSaveDialog> SaveDialog2;

public slots:
    void New1Click();
    void Load1Click();
    void ToolButton2Click();
    void Save1Click();
    void ToolButton1Click();
    void SaveAs1Click();
    void MRUFile01Click();
    void MRUFile11Click();
    void MRUFile21Click();
    void MRUFile31Click();
    void Exit1Click();
    void ToolButton4Click();
    void ToolButton5Click();
    void ToolButton6Click();
    void ToolButton9Click();
    void ToolButton10Click();
    void ExportasPDF1Click();
    void ToolButton8Click();
    void Options1Click();
    void CheckforUpdates1Click();
    void Tutorial1Click();
    void VisitWebsite1Click();
    void Sendfeedback1Click();
    void About2Click();

protected:
    // FormClose: refused while a progress, burn, update or welcome window
    // holds this window disabled; otherwise the save question, and a Yes
    // whose save fails or is cancelled keeps the window open.
    void closeEvent(QCloseEvent* event) override;

    // ---- Page strip and page switching (app/TForm1Strip.cpp) ----
public:
    // Item 0 is the statement, items 1 to Count-2 the artworks in portfolio
    // order (each item's Tag its Picture), the last item "Add Artwork".
    TSmoothImageListBox* SmoothImageListBox1 = nullptr;
    // Shows the page of the selected strip item in Panel2.
    void ShowSelectedPage();
    // Adds the artwork's item before "Add Artwork"; the selection stays.
    // False for null. The caller adds the artwork to the portfolio.
    bool AddPictureToStrip(Picture* picture);
    // Picture files of the command line or of a later start as new artworks
    // at the end, in their order: read and decoded on workers under the
    // progress window, each shown as it comes. Files that are missing, no
    // regular file or no picture become no artwork and are named in one
    // message at the end. Returns at once.
    void AddArtworksFromFiles(const std::vector<std::string>& files);
    // Whether such an addition is still under way.
    bool AddingArtworks() const;
    // Makes the artwork's thumbnail again; false when it has no item.
    bool UpdateThumbnail(Picture* picture);
    // Asks, then deletes the selected artwork and shows the page before it.
    // False when no artwork is selected; true once asked, whatever the answer.
    bool DeleteSelectedPicture();
    // Opens the selected artwork in the artwork details dialog.
    void EditSelectedPicture();
    // The artwork of the strip item; null for the statement, "Add Artwork"
    // and indices outside the strip.
    Picture* StripPicture(int index) const;
    void SmoothImageListBox1ItemSelect(QObject* Sender, int itemindex);
    void SmoothImageListBox1ItemDblClick(QObject* Sender, int itemindex);
    void SmoothImageListBox1KeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);

private:
    // Applies the strip's settings and makes its two fixed items.
    void SetUpStrip();
    // Leaves the fixed items, adds one per artwork of the portfolio and
    // shows the statement.
    void RebuildStrip();
    // Puts the page into Panel2 in place of the current one.
    void ShowPage(QWidget* page);
    // AddPictureToStrip with a thumbnail made already.
    bool AddStripItem(Picture* picture, const QImage& thumbnail);
    // Artworks the addition made, on the main thread: into the strip, in
    // one update, and into the portfolio they were made for, if that is
    // still the open one.
    void AddDecodedArtworks(std::vector<DecodedArtwork>& artworks);
    // ---- end of the page strip ----

private:
    void UpdateCaption(const std::string& fileName);
    void AddRecentFile(const std::string& path);
    void RemoveRecentFile(const std::string& path);
    void UpdateRecentMenu();
    void OpenRecentFile(int index);
    // Saves the portfolio under path; reports an exception.
    bool SaveAs(const std::string& path);
    void ReplacePortfolio(std::unique_ptr<Portfolio> portfolio);
    void StartUpdateCheck(bool silent);
    void OpenHelpPage(const char* address);
    // False (after telling the user) when the portfolio has no artworks.
    bool HasArtworks(const char* action);

    std::unique_ptr<Ui::TForm1> ui_;
    QAction* N5 = nullptr;
    std::unique_ptr<BurnThread> burnJob_;
    Options* options_ = nullptr;
    // The page shown in Panel2 (a child of this window), or null.
    QWidget* currentFrame_ = nullptr;
    // Guards the page strip and page switching; the owning thread may take
    // it again.
    std::recursive_mutex portfolioMutex_;
    std::unique_ptr<Portfolio> portfolio_;
    std::vector<std::unique_ptr<ProgressThread>> jobs_;
    // Update checks started so far; a finished one goes at the next start.
    std::vector<std::unique_ptr<UpdateThread>> updateJobs_;
    // Additions of picture files; a finished one goes at the next start.
    std::vector<std::unique_ptr<AddArtworksThread>> addJobs_;

    // ---- Single instance: welcome window and pipe server (app/TForm1SingleInstance.cpp) ----
public:
    // The welcome window of a start without arguments, or null.
    TForm11* WelcomeWindow() const { return welcome_.get(); }
    // The server that takes the command lines of later starts.
    NamedPipeServer* PipeServer() const { return pipeServer_.get(); }
    // Stops and joins the server (again: nothing); requests run no more.
    void StopPipeServer();

private:
    // Shows the welcome window when the settings ask for it.
    void ShowWelcomeWindow();
    void StartPipeServer();

    std::unique_ptr<TForm11> welcome_;
    std::unique_ptr<NamedPipeServer> pipeServer_;
    // ---- end of the single instance ----
};

// The main window for the rest of the run (null before and after).
extern TForm1* Form1;
