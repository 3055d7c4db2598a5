#pragma once
// The update window "Software Update": a status line, a progress bar and a
// Finish button that hides it. While shown it holds the main window
// disabled; each showing starts with an empty bar and Finish disabled. Esc
// and the window manager's close hide it only once Finish is enabled. Main
// thread only.
#include "output/JobWindow.h"

#include <memory>

namespace Ui {
class TForm7;
}

class TForm7 : public JobWindow {
    Q_OBJECT

public:
    explicit TForm7(QWidget* owner = nullptr);
    ~TForm7() override;

protected:
    bool MayDismiss() const override;

private:
    std::unique_ptr<Ui::TForm7> ui_;
};
