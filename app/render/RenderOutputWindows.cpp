// States of the job windows of output/.
#include "app/render/RenderStates.h"
#include "output/TForm15.h"

namespace {

const bool registered = RegisterRenderState("TForm15-progress", [] {
    TForm15* form = ShowJobWindowState<TForm15>("Generating Portfolio...", 4, 10, false);
    form->setWindowTitle("Generating Portfolio");
    return static_cast<QWidget*>(form);
});

} // namespace
