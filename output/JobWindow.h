#pragma once
// The common part of the job windows (the progress window TForm15 and the
// burn dialog TForm3): a status line, a progress bar and a Close button that
// hides the window; the progress window also has a Cancel button, shown for
// jobs that can stop half-way. While shown the window holds the main window disabled;
// each showing starts with an empty bar and Close disabled. Main thread only.
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QLabel;
class QProgressBar;
class QPushButton;

class JobWindow : public QDialog {
    Q_OBJECT

public:
    ~JobWindow() override;

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;
    // Cancel; null in a window without one.
    QPushButton* Button2 = nullptr;

    // The bar in the job's terms. A maximum of 0 is an empty bar; QProgressBar
    // would show its busy animation for that, so the widget gets 0 of 1.
    int BarMaximum() const { return barMaximum_; }
    int BarPosition() const { return barPosition_; }
    void SetBarMaximum(int maximum);
    void SetBarPosition(int position);
    // The bar's busy animation: the job waits on something that gives no
    // measure (a server's answer). The next maximum or position ends it.
    void SetBarBusy();
    bool BarBusy() const { return busy_; }

    // The status line wraps, and the window grows to show the whole text
    // (and shrinks back for a short one); its width stays as designed.
    void SetStatusText(const QString& text);

public slots:
    void FormShow();
    void FormHide();
    void Button1Click();

protected:
    explicit JobWindow(QWidget* owner);
    // For the subclass's constructor, once its form is set up.
    void BindControls(QLabel* label, QProgressBar* bar, QPushButton* close, QPushButton* cancel = nullptr);
    // Whether Esc and the window manager's close may hide the window now.
    virtual bool MayDismiss() const = 0;

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ApplyBar();

    // The designed places, from which a longer status moves things down.
    QRect labelGeometry_;
    QPoint barPlace_;
    QPoint buttonPlace_;
    QPoint cancelPlace_;
    QSize designedSize_;

    int barMaximum_ = 0;
    int barPosition_ = 0;
    bool busy_ = false;
};
