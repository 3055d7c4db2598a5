#pragma once
// Base of the output generators. A generator is bound to one portfolio, owns
// a fresh private output folder from construction to destruction (the
// destructor deletes it with everything in it), keeps the date and year texts
// the pages show, and reports its steps to a job's progress window.
//
// A generator runs synchronously on the thread that calls it and is used by
// one thread at a time; constructors may run on several threads at once.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class Portfolio;
class ProgressThread;
class TMemoryStream;

class PortfolioGenerator {
public:
    enum Kind { kHtml = 1, kPdf = 2 };

    // Creates the output folder: throws Exception("Failed to create a
    // temporary directory in ...", naming the folder and the reason) when
    // it cannot. The portfolio must outlive the
    // generator.
    explicit PortfolioGenerator(Portfolio* portfolio);
    virtual ~PortfolioGenerator();
    PortfolioGenerator(const PortfolioGenerator&) = delete;
    PortfolioGenerator& operator=(const PortfolioGenerator&) = delete;

    // The base versions do nothing and return false.
    virtual bool Generate();
    virtual bool ShowResult();

    // May be null: then nothing is reported. A run with a sink stops when
    // the sink's job is asked to stop.
    void SetProgressSink(ProgressThread* sink) { sink_ = sink; }
    // In place of the sink's: asked between artworks and pages; once it
    // holds, Generate stops there and returns false with Stopped() true.
    void SetStopCheck(std::function<bool()> stop) { stopCheck_ = std::move(stop); }
    // Whether the last Generate ended because it was asked to stop.
    bool Stopped() const { return stopped_; }
    void SetStepCount(int n);
    void StepProgress();

    int GetKind() const { return kind_; }
    // Full path of the output folder, ending in "/".
    std::string GetOutputFolder() const { return outputFolder_; }
    const std::string& GetDateText() const { return dateText_; }
    const std::string& GetYearText() const { return yearText_; }
    Portfolio* GetPortfolio() const { return portfolio_; }

    // The whole file in a block of size + 8 bytes from malloc, zero-filled
    // past the data so it can be used as text; the caller frees it with
    // free(). Null (size untouched) when the file cannot be read whole.
    static char* LoadFromDisk(const std::string& path, std::uint32_t& size);
    // Writes text to path, replacing an existing file only once every byte
    // is written. False on any failure.
    static bool SaveToDisk(const std::string& path, std::string_view text);
    // Writes the whole stream (from its first byte) under the file-name part
    // of name, placed by pattern: "%s/Data/%s" or "%s/%s" (the first "%s" is
    // the output folder; "\" counts as "/"). False for a null stream, a name
    // with no usable file-name part, or a failed write (GetErrorText() says
    // which file and why).
    bool SaveStreamToFolder(TMemoryStream* stream, const std::string& name, const std::string& pattern);
    // What the last failed step failed at (the artwork, the file or folder
    // and the system's reason); empty when no step has failed.
    const std::string& GetErrorText() const { return errorText_; }
    // GetErrorText(), or a general text when no step said more.
    std::string FailureText() const;

    // Writes a new file of the output folder (any thread); 0, or the
    // system's error code with no partial file left.
    static int WriteNewFile(const std::string& path, const void* data, std::size_t size);
    // Deletes the output folder tree; false when it is not there any more or
    // cannot be removed, and always for an empty or root path.
    bool DeleteFolder();

    // This run's private working folder under the temp folder (made with
    // mkdtemp, mode 0700, held until the process ends), ending in "/"; empty
    // when it cannot be made.
    static std::string GetWorkingFolder();
    // Makes the working folder; false when it cannot be made. The main
    // window calls it at start-up; generators do too.
    static bool ForceWorkingFolder();
    // Removes the working folders of this user's runs that ended without
    // cleaning up (killed, crashed); folders of living runs stay. Returns
    // how many went.
    static int RemoveAbandonedWorkingFolders();

    static const char* const ApplicationKey;
    static const char* const DataPattern;
    static const char* const RootPattern;

protected:
    // True (and Stopped() from now on) when the run is asked to stop: the
    // caller returns false at once, its output unfinished.
    bool StopRequested();
    // Records what failed; returns false.
    bool SetErrorText(const std::string& text);
    // Records 'what "path": <the reason errno holds>.'; returns false.
    bool FailOnFile(const std::string& what, const std::string& path);
    // Writes a new file of the output folder (one of this run's own, so it
    // neither replaces nor syncs anything). False, with the reason recorded,
    // on any failure; no partial file stays.
    bool WriteOutputFile(const std::string& path, const void* data, std::size_t size);

    int kind_ = 0;

private:
    std::string outputFolder_;
    std::string dateText_;
    std::string yearText_;
    std::string errorText_;
    Portfolio* portfolio_;
    ProgressThread* sink_ = nullptr;
    std::function<bool()> stopCheck_;
    bool stopped_ = false;
    int stepMaximum_ = 0;
    int currentStep_ = 0;
};
