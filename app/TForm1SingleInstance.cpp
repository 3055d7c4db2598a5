// The main window's part in the single-instance start: the welcome window of
// a start without arguments, and the server that takes the command lines of
// later starts.
#include "app/TForm1.h"

#include "app/NamedPipeServer.h"
#include "app/TForm11.h"
#include "model/Options.h"

void TForm1::ShowWelcomeWindow()
{
    if (!options_->GetShowWelcome())
        return;
    // Owned by this window, but not its child: a child window would be
    // disabled with it, and the welcome window disables it while shown.
    // Closing only hides it.
    welcome_ = std::make_unique<TForm11>();
    welcome_->show();
}

void TForm1::StartPipeServer()
{
    pipeServer_ = std::make_unique<NamedPipeServer>();
}

void TForm1::StopPipeServer()
{
    if (pipeServer_)
        pipeServer_->Stop();
}
