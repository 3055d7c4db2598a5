#pragma once
// TForm1 (unit MainForm): the main window and the owner of the open
// portfolio. Menus and the tool bar reach the commands; the page strip sits
// in Panel1 and the page of the selected item in Panel2. Main thread only.
#include <QMainWindow>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Options;
class Picture;
class Portfolio;
class ProgressThread;
class TSaveDialog;
class TSmoothImageListBox;

namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* owner = nullptr);
    ~TForm1() override;

    // The open portfolio; one exists from the end of construction on.
    Portfolio* GetPortfolio() const { return portfolio_.get(); }
    // Replaces the open portfolio by a new one holding the saved artist details.
    void NewPortfolio();
    // Asks for the PDF file and starts the export job.
    void ExportPortfolio();

    // The preview, export and e-mail jobs started so far, oldest first; they
    // stay until the window is destroyed.
    const std::vector<std::unique_ptr<ProgressThread>>& Jobs() const { return jobs_; }

    std::unique_ptr<TSaveDialog> SaveDialog2;

public slots:
    void ToolButton4Click();
    void ToolButton6Click();
    void ToolButton9Click();
    void ToolButton10Click();
    void ExportasPDF1Click();
    void ToolButton8Click();
    void Options1Click();
    void About2Click();

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
    // ---- end of the page strip ----

private:
    void UpdateCaption(const std::string& fileName);
    // False (after telling the user) when the portfolio has no artworks.
    bool HasArtworks(const char* action);

    std::unique_ptr<Ui::TForm1> ui_;
    Options* options_ = nullptr;
    // The page shown in Panel2 (a child of this window), or null.
    QWidget* currentFrame_ = nullptr;
    // Guards the page strip and page switching; the owning thread may take
    // it again.
    std::recursive_mutex portfolioMutex_;
    std::unique_ptr<Portfolio> portfolio_;
    std::vector<std::unique_ptr<ProgressThread>> jobs_;
};

// The main window for the rest of the run (null before and after).
extern TForm1* Form1;
