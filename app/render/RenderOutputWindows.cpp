// States of the job windows of output/.
#include "app/render/RenderStates.h"
#include "output/TForm15.h"

#include <QLabel>
#include <memory>

namespace {

const bool registered = RegisterRenderState("TForm15-progress", [] {
    static std::unique_ptr<TForm15> form;
    form = std::make_unique<TForm15>();
    // Showing the window starts a new run of it (an empty bar).
    form->show();
    form->setWindowTitle("Generating Portfolio");
    form->Label1->setText("Generating Portfolio...");
    form->SetBarMaximum(10);
    form->SetBarPosition(4);
    return static_cast<QWidget*>(form.get());
});

} // namespace
