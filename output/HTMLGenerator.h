#pragma once
// Turns a portfolio into a folder of static pages in the generator's output
// folder:
//   portfolio.html                  front page
//   autorun.inf/.exe/.ico           the template's CD autorun files
//   Data/000.html, Data/001.html .. one page per artwork, in portfolio order
//   Data/<name>                     the template's other files, and the
//                                   statement, CV and artist picture
//   Images/<name>                   each artwork's image
// The pages are the two built-in skeletons styled by the portfolio's
// template, with their placeholders filled and their optional blocks
// switched on. In PDF mode the pages are laid out for the PDF generator,
// which fills in the page size and renders them, and artworks written as
// JPEG are at the PDF's quality.
#include "output/PortfolioGenerator.h"

#include <string>
#include <vector>

class PageText;
class Picture;
class TForm10;
class UniqueNames;

class HTMLGenerator : public PortfolioGenerator {
public:
    // Throws like the base when the output folder cannot be made.
    explicit HTMLGenerator(Portfolio* portfolio);
    ~HTMLGenerator() override;

    void SetForPdf(bool forPdf) { forPdf_ = forPdf; }
    bool IsForPdf() const { return forPdf_; }

    // Writes the folder; once per generator. False when the portfolio has no
    // template, a folder or file cannot be written, or an artwork has no
    // image that can be written; GetErrorText() then says which. Declares
    // pictures + 2 steps and makes pictures + 3.
    bool Generate() override;
    // Shows the front page in the preview window, modally, on the main
    // thread; true once the window is closed.
    bool ShowResult() override;

    // The replacements shared by both pages. Values put in are never
    // searched for placeholders again.
    std::string FillCommon(const std::string& page);
    // The artwork page of picture, for the page number now being written.
    std::string FillPage(const std::string& page, Picture* picture);

    // Page number FillPage fills in (Generate sets it as it goes).
    void SetPageCounter(int counter) { pageCounter_ = counter; }

    // "%ARTWORK_STYLE%" for an image of width x height pixels, and the width
    // of the block around it in *blockWidth.
    static std::string ArtworkStyle(int width, int height, int* blockWidth);
    // A file name as it goes into a link: UTF-8 percent-encoded, so it can
    // neither break the attribute nor be read as markup.
    static std::string LinkName(const std::string& fileName);
    // name, then name-2.ext, name-3.ext ... : the first that is not in taken
    // (compared without letter case, as CD file systems do). A name over
    // 255 bytes is cut to that, keeping its extension.
    static std::string UniqueName(const std::string& name, const std::vector<std::string>& taken);

    // The file names the last Generate wrote (empty: not written).
    const std::string& GetStatementName() const { return statementName_; }
    const std::string& GetCVName() const { return cvName_; }
    const std::string& GetPictureName() const { return pictureName_; }
    const std::vector<std::string>& GetImageNames() const { return imageNames_; }

private:
    void FillCommon(PageText& text);
    void PlanAttachments();
    bool WriteArtworks(const std::string& skeleton, UniqueNames& names);

    int pageCounter_ = 0;
    bool forPdf_ = false;
    bool planned_ = false;
    std::string statementName_;
    std::string cvName_;
    std::string pictureName_;
    std::vector<std::string> imageNames_;
    // The name each of the template's files is written under, by index.
    std::vector<std::string> staticNames_;
};
