#include "controls/GPBase.h"

namespace {

struct LayerRun {
    ULONG_PTR token = 0;
    LayerRun()
    {
        GdiplusStartupInput input;
        input.SuppressBackgroundThread = 1;
        GdiplusStartupOutput output;
        GdiplusStartup(&token, &input, &output);
    }
    ~LayerRun() { GdiplusShutdown(token); }
};

}  // namespace

TGdiplusBase::TGdiplusBase()
{
    static LayerRun run;
}
