// States of the update window.
#include "app/render/RenderStates.h"
#include "services/TForm7.h"

namespace {

const bool checking = RegisterRenderState("TForm7-checking", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm7>("Checking for Updates...", 0, 1, false));
});
const bool downloading = RegisterRenderState("TForm7-downloading", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm7>("Downloading: VelmoraSetup.run", 412000, 1048576, false));
});
const bool finished = RegisterRenderState("TForm7-finished", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm7>("Finished. Update applied successfully.", 1, 1, true));
});

const bool longError = RegisterRenderState("TForm7-error-long-status", [] {
    return static_cast<QWidget*>(ShowJobWindowState<TForm7>(
        "Error: Operation timed out after 15000 milliseconds with 0 bytes received", 0, 1, true));
});

} // namespace
