// The main window's part in the single-instance start: the welcome window of
// a start without arguments, and the server that takes the command lines of
// later starts.
#include "app/TForm1.h"

#include "app/NamedPipeServer.h"
#include "app/TForm11.h"
#include "app/WinMain.h"
#include "model/Options.h"

#include <QTimer>

void TForm1::ShowWelcomeWindow()
{
    if (!options_->GetShowWelcome())
        return;
    // Owned by this window, but not its child: a child window would be
    // disabled with it, and the welcome window disables it while shown.
    // Closing only hides it.
    welcome_ = std::make_unique<TForm11>();
    welcome_->show();
    // The main window is shown after its constructor, so it would cover the
    // welcome window wherever no window manager keeps that one on top, and
    // leave the user a disabled window with nothing to click.
    QTimer::singleShot(0, welcome_.get(), [w = welcome_.get()] {
        if (w->isVisible()) {
            w->raise();
            w->activateWindow();
        }
    });
}

void TForm1::StartPipeServer()
{
    pipeServer_ = std::make_unique<NamedPipeServer>();
}

void TForm1::StopPipeServer()
{
    if (!pipeServer_)
        return;
    const bool running = !pipeServer_->Finished();
    pipeServer_->Stop();
    if (running)
        ReportShutDownStep("pipe server joined");
}
