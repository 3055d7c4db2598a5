#pragma once
// PreviewThread (unit Previewthread): the preview job. Generates the
// portfolio as HTML pages (or a PDF) on its own thread and shows the result:
// the pages in the preview window on the main thread, a PDF in the viewer.
// Create and delete it on the main thread.
#include "output/ProgressThread.h"

#include <memory>

class Portfolio;
class PortfolioGenerator;

class PreviewThread : public ProgressThread {
public:
    // kind: PortfolioGenerator::kHtml or kPdf; any other kind throws
    // Exception("Invalid Generator Type"). The portfolio must outlive the job.
    PreviewThread(Portfolio* portfolio, int kind, bool CreateSuspended);
    ~PreviewThread() override;

    // The job's generator: null once an HTML preview has ended (its folder
    // goes with it); a PDF generator stays until the job is deleted.
    PortfolioGenerator* Generator() const { return generator_.get(); }

protected:
    void Execute() override;

private:
    Portfolio* portfolio_;
    std::unique_ptr<PortfolioGenerator> generator_;
};
