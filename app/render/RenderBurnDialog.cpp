// States of the burn dialog of services/.
#include "app/render/RenderStates.h"
#include "services/TForm3.h"

#include <QLabel>
#include <QPushButton>
#include <memory>

namespace {

TForm3* ShownBurnDialog(const char* status, int position, int maximum, bool finished)
{
    static std::unique_ptr<TForm3> form;
    form = std::make_unique<TForm3>();
    // Showing the dialog starts a new burn in it (an empty bar, Close off).
    form->show();
    form->Label1->setText(status);
    form->SetBarMaximum(maximum);
    form->SetBarPosition(position);
    form->Button1->setEnabled(finished);
    return form.get();
}

const bool waiting = RegisterRenderState("TForm3-waiting", [] {
    return static_cast<QWidget*>(ShownBurnDialog("Please Wait....", 0, 0, false));
});

const bool burning = RegisterRenderState("TForm3-burning-40", [] {
    return static_cast<QWidget*>(ShownBurnDialog("Burning Portfolio...", 120, 300, false));
});

const bool finished = RegisterRenderState("TForm3-finished", [] {
    return static_cast<QWidget*>(
        ShownBurnDialog("Finished. Your Disk was created successfully.", 300, 300, true));
});

} // namespace
