// States of the burn dialog of services/.
#include "app/render/RenderStates.h"
#include "services/TForm3.h"

namespace {

const bool waiting = RegisterRenderState("TForm3-waiting", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm3>("Please Wait....", 0, 0, false));
});

const bool burning = RegisterRenderState("TForm3-burning-40", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm3>("Burning Portfolio...", 120, 300, false));
});

const bool finished = RegisterRenderState("TForm3-finished", [] {
    return static_cast<QWidget*>(
        ShowJobWindowState<TForm3>("Finished. Your Disk was created successfully.", 300, 300, true));
});

} // namespace
