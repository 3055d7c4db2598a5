#include "platform/gdiplus/GdiPlusStartup.h"

#include <mutex>
#include <unordered_set>

namespace {

struct StartupState {
    std::mutex lock;
    std::unordered_set<ULONG_PTR> tokens;
    ULONG_PTR lastToken = 0;
};

StartupState& State()
{
    static StartupState state;
    return state;
}

// The background work these hooks would start and stop does not exist here;
// callers that suppress the background thread still get working hooks.
GpStatus HookStub(ULONG_PTR* token)
{
    if (!token)
        return InvalidParameter;
    *token = 1;
    return Ok;
}

void UnhookStub(ULONG_PTR) {}

}  // namespace

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output)
{
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output)
        return InvalidParameter;
    if (output) {
        output->NotificationHook = HookStub;
        output->NotificationUnhook = UnhookStub;
    }
    StartupState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    ULONG_PTR next = state.lastToken;
    do {
        ++next;
    } while (next == 0 || state.tokens.count(next) != 0);
    state.lastToken = next;
    state.tokens.insert(next);
    *token = next;
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token)
{
    StartupState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.tokens.erase(token);
}

bool GdiplusIsRunning()
{
    StartupState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return !state.tokens.empty();
}
