#pragma once
// ExportThread (unit Exportthread): the export job. Generates the portfolio
// as a PDF on its own thread and copies it to the file the user chose,
// replacing that file only once the copy is complete. Create and delete it
// on the main thread.
#include "output/ProgressThread.h"

#include <string>

class Portfolio;

class ExportThread : public ProgressThread {
public:
    // The portfolio must outlive the job.
    ExportThread(Portfolio* portfolio, const std::string& destination, bool CreateSuspended);
    ~ExportThread() override;

    const std::string& Destination() const { return destination_; }

protected:
    void Execute() override;

private:
    Portfolio* portfolio_;
    std::string destination_;
};
