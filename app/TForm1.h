#pragma once
// TForm1 (unit MainForm): the main window and the owner of the open
// portfolio. Menus and the tool bar reach the commands; the page strip sits
// in Panel1 and the page of the selected item in Panel2. Main thread only.
#include <QMainWindow>
#include <memory>
#include <mutex>
#include <string>

class Options;
class Portfolio;

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
    // Shows the page of the selected strip item in Panel2.
    void ShowSelectedPage();

public slots:
    void ToolButton6Click();
    void ToolButton8Click();
    void Options1Click();
    void About2Click();

private:
    void UpdateCaption(const std::string& fileName);

    std::unique_ptr<Ui::TForm1> ui_;
    Options* options_ = nullptr;
    // The page shown in Panel2 (a child of this window), or null.
    QWidget* currentFrame_ = nullptr;
    // Guards the page strip and page switching; the owning thread may take
    // it again.
    std::recursive_mutex portfolioMutex_;
    std::unique_ptr<Portfolio> portfolio_;
};

// The main window for the rest of the run (null before and after).
extern TForm1* Form1;
