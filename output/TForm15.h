#pragma once
// The job progress window: a status line, a progress bar and a Close button.
// While shown it holds the main window disabled. Esc and the window
// manager's close hide it only once Close is enabled. Main thread only.
#include "output/JobWindow.h"

#include <memory>

namespace Ui {
class TForm15;
}

class TForm15 : public JobWindow {
    Q_OBJECT

public:
    explicit TForm15(QWidget* owner = nullptr);
    ~TForm15() override;

protected:
    bool MayDismiss() const override;

private:
    std::unique_ptr<Ui::TForm15> ui_;
};
