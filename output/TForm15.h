#pragma once
// The job progress window: a status line, a progress bar and a Close button.
// While shown it holds the main window disabled. Main thread only.
#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui {
class TForm15;
}

class TForm15 : public QDialog {
    Q_OBJECT

public:
    explicit TForm15(QWidget* owner = nullptr);
    ~TForm15() override;

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;

    // The bar in the job's terms. A maximum of 0 is an empty bar; QProgressBar
    // would show its busy animation for that, so the widget gets 0 of 1.
    int BarMaximum() const { return barMaximum_; }
    int BarPosition() const { return barPosition_; }
    void SetBarMaximum(int maximum);
    void SetBarPosition(int position);

public slots:
    void FormShow();
    void FormHide();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ApplyBar();

    std::unique_ptr<Ui::TForm15> ui_;
    int barMaximum_ = 0;
    int barPosition_ = 0;
};
