#pragma once
// BurnThread (unit Burnthread): the burn job. On its own thread it checks
// for a blank CD, has an HTML generator write the portfolio into a folder
// and a Burner record that folder, while the burn dialog shows the status
// and the blocks written. Failures end the job with an "Oooops!" box.
//
// Create and destroy it on the main thread. A running burn cannot be
// cancelled: destroying the job waits for it to end.
#include <string>

#include "platform/thread/Thread.h"

class Portfolio;
class TForm3;

class BurnThread : public TThread {
public:
    BurnThread(TForm3* dialog, Portfolio* portfolio, bool CreateSuspended);
    ~BurnThread() override;

    // Both may be called on the job's thread or on the main thread; they
    // return once the dialog shows the new values.
    void SetStatus(const std::string& text);
    void SetProgress(int position, int maximum);

protected:
    void Execute() override;

private:
    void ShowDialog();
    void ReportFailure(const std::string& message, const std::string& burnerText);

    Portfolio* portfolio_;
    TForm3* dialog_;
    std::string status_;
    int position_ = 0;
    int maximum_ = 0;
};
