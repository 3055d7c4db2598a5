#pragma once
// The disc master's progress callbacks for a Burner: block progress goes to
// the burn job as its status and progress bar; nothing else is acted on, and
// a running burn cannot be cancelled. Called on whatever thread records.
#include <atomic>

#include "platform/imapi/Imapi.h"

class BurnThread;

class BurnerProgressEvents final : public IDiscMasterProgressEvents {
public:
    // A new object handed out with one reference; E_POINTER for a null out.
    static HRESULT CreateInstance(IDiscMasterProgressEvents** out);

    // Starts with no references; CreateInstance is the way to make one that
    // is handed out.
    BurnerProgressEvents() = default;
    ~BurnerProgressEvents() = default;

    void SetOwner(BurnThread* owner) { owner_ = owner; }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    // At a count of 0 nothing happens and 0 is returned.
    ULONG Release() override;

    HRESULT QueryCancel(int* cancel) override;
    HRESULT NotifyPnPActivity() override;
    HRESULT NotifyAddProgress(LONG completedSteps, LONG totalSteps) override;
    HRESULT NotifyBlockProgress(LONG completed, LONG total) override;
    HRESULT NotifyTrackProgress(LONG currentTrack, LONG totalTracks) override;
    HRESULT NotifyPreparingBurn(LONG estimatedSeconds) override;
    HRESULT NotifyClosingDisc(LONG estimatedSeconds) override;
    HRESULT NotifyBurnComplete(HRESULT status) override;
    HRESULT NotifyEraseComplete(HRESULT status) override;

private:
    std::atomic<ULONG> refs_{0};
    std::atomic<BurnThread*> owner_{nullptr};
};
