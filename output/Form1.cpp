#include "output/Form1.h"

#include <QPointer>
#include <set>

namespace {

QPointer<QWidget>& MainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

std::set<const void*>& Holders()
{
    static std::set<const void*> holders;
    return holders;
}

void Apply()
{
    if (QWidget* window = MainWindow())
        window->setEnabled(Holders().empty());
}

} // namespace

void RegisterForm1(QWidget* form)
{
    MainWindow() = form;
    if (!Holders().empty())
        Apply();
}

QWidget* Form1Window()
{
    return MainWindow();
}

void DisableForm1By(const void* holder)
{
    Holders().insert(holder);
    Apply();
}

void EnableForm1By(const void* holder)
{
    // Only a holder that disabled the window may enable it again: a window
    // hidden twice must not free the main window for another one.
    if (Holders().erase(holder) != 0)
        Apply();
}

bool Form1HeldDisabled()
{
    return !Holders().empty();
}
