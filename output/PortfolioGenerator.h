#pragma once
// Base of the output generators. A generator is bound to one portfolio, owns
// a fresh private output folder from construction to destruction (the
// destructor deletes it with everything in it), keeps the date and year texts
// the pages show, and reports its steps to a job's progress window.
//
// A generator runs synchronously on the thread that calls it and is used by
// one thread at a time; constructors may run on several threads at once.
#include <cstdint>
#include <string>
#include <string_view>

class Portfolio;
class ProgressThread;
class TMemoryStream;

class PortfolioGenerator {
public:
    enum Kind { kHtml = 1, kPdf = 2 };

    // Creates the output folder: throws Exception("Failed to create a
    // temporary directory.") when it cannot. The portfolio must outlive the
    // generator.
    explicit PortfolioGenerator(Portfolio* portfolio);
    virtual ~PortfolioGenerator();
    PortfolioGenerator(const PortfolioGenerator&) = delete;
    PortfolioGenerator& operator=(const PortfolioGenerator&) = delete;

    // The base versions do nothing and return false.
    virtual bool Generate();
    virtual bool ShowResult();

    // May be null: then nothing is reported.
    void SetProgressSink(ProgressThread* sink) { sink_ = sink; }
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
    // with no usable file-name part, or a failed write.
    bool SaveStreamToFolder(TMemoryStream* stream, const std::string& name, const std::string& pattern);
    // Deletes the output folder tree; false when it is not there any more or
    // cannot be removed, and always for an empty or root path.
    bool DeleteFolder();

    // The per-user working folder under the temp folder, ending in "/".
    static std::string GetWorkingFolder();
    // Creates the working folder (mode 0700) when missing and checks that it
    // is a real folder of the current user's that nobody else can enter
    // (tightening its mode when it is ours but open). False when it is not
    // usable. The main window calls it at start-up; generators do too.
    static bool ForceWorkingFolder();

    static const char* const ApplicationKey;
    static const char* const DataPattern;
    static const char* const RootPattern;

protected:
    int kind_ = 0;

private:
    std::string outputFolder_;
    std::string dateText_;
    std::string yearText_;
    Portfolio* portfolio_;
    ProgressThread* sink_ = nullptr;
    int stepMaximum_ = 0;
    int currentStep_ = 0;
};
