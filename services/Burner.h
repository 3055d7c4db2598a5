#pragma once
// Burner: writes one folder to a blank CD as a Joliet data disc through the
// disc master component. Made, used and destroyed on the burn job's thread
// (it initialises OLE for that thread).
//
// The constructor throws an Exception carrying the message when the disc
// master cannot be made, opened or asked for its recorders; every other
// operation returns false and leaves its message in the last-error text.
#include <string>

#include "model/LastError.h"
#include "platform/com/Unknown.h"
#include "platform/imapi/Imapi.h"

class BurnThread;

class Burner : public LastError {
public:
    explicit Burner(BurnThread* owner);
    ~Burner();
    Burner(const Burner&) = delete;
    Burner& operator=(const Burner&) = delete;

    // Clears the last-error text; the recorders found when made (at most 32).
    int RecorderCount();
    bool SelectRecorder(int index);
    // True for a blank, writable CD in the selected recorder.
    bool CheckMedia();
    // Stages the files inside folder (a full path) and records them; returns
    // once the disc is written. Progress goes to the owner job meanwhile.
    bool Burn(const std::string& folder);

    // The message of a disc master result code.
    static std::string ErrorText(HRESULT code);

private:
    void Release();

    BurnThread* owner_ = nullptr;
    int recorderCount_ = 0;
    CComPtr<IDiscMaster> discMaster_;
    CComPtr<IJolietDiscMaster> jolietMaster_;
    CComPtr<IEnumDiscRecorders> recorders_;
    CComPtr<IDiscRecorder> recorder_;
    CComPtr<IDiscMasterProgressEvents> progressSink_;
};
