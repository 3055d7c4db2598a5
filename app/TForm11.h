#pragma once
// TForm11 (unit WelcomeForm): the welcome window the main window shows at
// a start without arguments while the settings ask for it. It offers a new
// portfolio, the four recent portfolios and the tutorial, and can turn
// itself off for later starts. Not modal: while shown it holds the main
// window disabled. Main thread only.
#include <QDialog>
#include <memory>
#include <string>

class Options;
class QLabel;

namespace Ui {
class TForm11;
}

class TForm11 : public QDialog {
    Q_OBJECT

public:
    // tutorialAddress: the page Label4 opens; empty offers no link. The
    // main window owns it without being its parent: a child window would be
    // disabled together with the main window.
    explicit TForm11(QWidget* owner = nullptr, std::string tutorialAddress = DefaultTutorialAddress());
    ~TForm11() override;

    // Recent portfolios 1 to 4 into Label5 to Label8.
    void FillRecentFiles();

    static std::string DefaultTutorialAddress();

public slots:
    void FormShow();
    void FormHide();
    void Button1Click();
    void CheckBox1Click();
    void Image1Click();
    void Label2Click();
    void Label4Click();
    void Label5Click();
    void Label6Click();
    void Label7Click();
    void Label8Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void OpenRecentFile(int index);
    QLabel* RecentLabel(int index) const;

    std::unique_ptr<Ui::TForm11> ui_;
    Options* options_ = nullptr;
    std::string tutorialAddress_;
};
