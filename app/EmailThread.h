#pragma once
// EmailThread (unit Emailthread): the e-mail job. On its thread it picks the
// way the portfolio goes out: with the default account that has no compose
// form it generates the PDF and sends at once; otherwise it opens the e-mail
// wizard, which later runs SendPortfolio on the main thread. Create and
// delete it on the main thread.
#include "output/ProgressThread.h"

#include <memory>
#include <string>

class Emailer;
class PDFGenerator;
class Portfolio;

class EmailThread : public ProgressThread {
public:
    // The portfolio must outlive the job, or the wizard must drop the job
    // first (New and Open do).
    EmailThread(Portfolio* portfolio, bool CreateSuspended);
    ~EmailThread() override;

    // The job keeps the account's name, not the account: the account list
    // may delete an account while the wizard waits. Null when none is set
    // or the account is gone.
    Emailer* GetAccount() const;
    void SetAccount(Emailer* account);

    // Generates the PDF and sends it with the account; false when there is
    // no account that can send, or generating or sending failed (the progress
    // window then says why, with Close enabled). Called on the main thread
    // (the wizard's Send) the work runs on a worker while the windows stay
    // live. A further call releases the previous output first.
    bool SendPortfolio();

    Portfolio* GetPortfolio() const { return portfolio_; }
    // The output folder of the last send; empty before one.
    std::string GetOutputFolder() const;

protected:
    void Execute() override;

private:
    bool GenerateAndSend(Emailer* account);
    void OpenComposePage();
    void OpenAccountPage();

    Portfolio* portfolio_;
    std::unique_ptr<PDFGenerator> generator_;
    std::string accountName_;
};
