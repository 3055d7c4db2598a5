// States of the job windows of output/.
#include "app/render/RenderStates.h"
#include "output/TForm15.h"

namespace {

const bool registered = RegisterRenderState("TForm15-progress", [] {
    TForm15* form = ShowJobWindowState<TForm15>("Generating Portfolio...", 4, 10, false);
    form->setWindowTitle("Generating Portfolio");
    return static_cast<QWidget*>(form);
});

// A failure whose status is longer than one line: it wraps, the window grows.
const bool longStatus = RegisterRenderState("TForm15-failure-long-status", [] {
    TForm15* form = ShowJobWindowState<TForm15>(
        "Failure. Authentication failed, please check your username, password and the secure connection type.", 0,
        0, true);
    form->setWindowTitle("E-Mail...");
    return static_cast<QWidget*>(form);
});

} // namespace
