#pragma once
// A disc master class that the tests put in place of the real one: it does
// what its script says and records what it was asked.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/imapi/Imapi.h"

struct FakeRecorder {
    HRESULT open = S_OK;
    LONG type = MEDIA_CD_ROM_XA;
    LONG flags = MEDIA_BLANK | MEDIA_WRITABLE;
    // Message of an exception thrown by QueryMediaType: none when empty,
    // an exception without a message for "-".
    std::string queryThrows;
};

struct FakeScript {
    HRESULT create = S_OK;
    HRESULT open = S_OK;
    HRESULT enumerate = S_OK;
    std::vector<FakeRecorder> recorders;
    // Recorders listed at construction but gone when listed again.
    bool recordersVanish = false;
    // Answers of the calls Burn makes (the format answer from the second
    // format call on: the one at construction is not checked).
    HRESULT format = S_OK;
    HRESULT advise = S_OK;
    HRESULT setRecorder = S_OK;
    HRESULT addData = S_OK;
    HRESULT record = S_OK;
    HRESULT unadvise = S_OK;
    // Block progress reported to the sinks while recording.
    std::vector<std::pair<LONG, LONG>> progress;

    // What happened.
    int formatCalls = 0;
    int liveSinks = 0;
    int recorderOpens = 0;
    int recorderCloses = 0;
    int masterCloses = 0;
    int liveObjects = 0;
    int activeRecorder = -1;
    std::u16string folder;
    std::vector<std::pair<int, int>> records; // (simulate, eject)
};

// The script of the class registered now.
FakeScript& Fake();

// Puts the fake class in place of the real one for its lifetime, with a
// fresh script.
class FakeDiscMasterClass {
public:
    FakeDiscMasterClass();
    ~FakeDiscMasterClass();
    FakeDiscMasterClass(const FakeDiscMasterClass&) = delete;
    FakeDiscMasterClass& operator=(const FakeDiscMasterClass&) = delete;

private:
    DWORD cookie_ = 0;
};
