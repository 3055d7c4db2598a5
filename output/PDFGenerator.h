#pragma once
// Makes "portfolio.pdf" in the generator's output folder: an inner HTML
// generator writes the pages for the PDF into a folder of its own, and the
// PDF document component ("Quorvex.PDFDocument") draws the front page and
// each artwork page onto one PDF page each, with the statement and CV
// embedded. Copies of those two documents stay beside the PDF.
#include "output/PortfolioGenerator.h"

#include <string>
#include <vector>

struct IPDFDocument;
class TMemoryStream;

class PDFGenerator : public PortfolioGenerator {
public:
    // Throws like the base when the output folder cannot be made. The first
    // generator of a run asks the settings for the PDF viewer command.
    explicit PDFGenerator(Portfolio* portfolio);
    ~PDFGenerator() override;

    // Declares pictures + statement + CV + 3 steps and makes one more. False
    // when the component cannot be created, the pages cannot be generated,
    // the document cannot be set up, or the component reports that a page
    // or the file could not be written. Missing page files and pages the
    // component does not hand out are skipped.
    bool Generate() override;
    // Why the last Generate failed, when the user can act on it (the PDF
    // document component missing); empty otherwise.
    const std::string& GetFailure() const { return failure_; }
    // Opens the PDF in the viewer and returns once the viewer has ended.
    // A launcher that hands the file to another program and returns at once
    // ("xdg-open") gets a private copy that outlives this generator, so the
    // viewer still finds the file after the generator is gone. False without
    // a viewer command, or when the viewer cannot be started.
    bool ShowResult() override;

    static std::string GetOutputFileName() { return "portfolio.pdf"; }

    bool SetupDocument(IPDFDocument* document);
    // Copies data into the output folder under the file-name part of path
    // (cut to 255 bytes, and made unique among this generator's files) and
    // embeds that copy. False for empty data, a failed copy or a refusal of
    // the component.
    bool AttachDocument(IPDFDocument* document, TMemoryStream* data, const std::string& path,
                        const std::string& description);
    // The page text in UTF-16 with "%PDF_PAGE_HEIGHT%" and "%PDF_PAGE_WIDTH%"
    // set to the document's page size; unchanged but converted without a
    // document. Null text gives an empty string.
    std::u16string RenderHtmlPage(IPDFDocument* document, const char* text);

    // The command that shows PDF files, shared by every generator of the
    // run; Set replaces it (empty: none).
    static std::string GetViewerCommand();
    static void SetViewerCommand(const std::string& command);

    // The words of a viewer command, split at blanks outside quotes: the
    // program, then its arguments.
    static std::vector<std::string> SplitCommand(const std::string& command);
    // Whether the program only hands the file on and returns at once.
    static bool IsLauncher(const std::string& program);
    // The folder private copies of viewed files go to, ending in "/".
    static std::string GetViewedFolder();

private:
    // The PDF and the attachment copies in the output folder.
    std::vector<std::string> ownFiles_{GetOutputFileName()};
    std::string failure_;
};
