#pragma once
// TForm3 (unit BurnForm): the burn dialog, made once at start-up and shown
// by every burn job: a status line, a progress bar and a Close button. Not
// modal: while shown it holds the main window disabled. Only its Close
// button hides it (Esc and the window manager's close do not), so a burn
// that is still writing cannot lose its window. Main thread only.
#include "output/JobWindow.h"

#include <memory>

namespace Ui {
class TForm3;
}

class TForm3 : public JobWindow {
    Q_OBJECT

public:
    explicit TForm3(QWidget* owner = nullptr);
    ~TForm3() override;

protected:
    bool MayDismiss() const override { return false; }

private:
    std::unique_ptr<Ui::TForm3> ui_;
};

// The burn dialog of the run (null before start-up and after shut-down).
extern TForm3* Form3;
