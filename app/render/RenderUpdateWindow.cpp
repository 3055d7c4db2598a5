// States of the update window.
#include "app/render/RenderStates.h"
#include "services/TForm7.h"

#include <QLabel>
#include <QPushButton>
#include <memory>

namespace {

QWidget* ShowUpdateWindow(const char* status, int position, int maximum, bool finished)
{
    static std::unique_ptr<TForm7> form;
    form = std::make_unique<TForm7>();
    // Showing the window starts a new run of it (an empty bar, Finish off).
    form->show();
    form->Label1->setText(status);
    form->SetBarMaximum(maximum);
    form->SetBarPosition(position);
    form->Button1->setEnabled(finished);
    return form.get();
}

const bool checking = RegisterRenderState("TForm7-checking", [] {
    return ShowUpdateWindow("Checking for Updates...", 0, 1, false);
});
const bool downloading = RegisterRenderState("TForm7-downloading", [] {
    return ShowUpdateWindow("Downloading: VelmoraSetup.run", 412000, 1048576, false);
});
const bool finished = RegisterRenderState("TForm7-finished", [] {
    return ShowUpdateWindow("Finished. Update applied successfully.", 1, 1, true);
});

} // namespace
