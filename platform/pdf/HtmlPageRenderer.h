#pragma once
// Lays out one HTML page and draws it with cairo: text through pango (real
// glyphs that PDF surfaces embed as fonts), pictures through PdfImageCache,
// <a href> as link areas. Relative addresses resolve against a base folder.
// The page and its style sheets come from received templates, so the files
// they name are read only from inside one root folder, only when regular
// and of bounded size, and style sheet imports are followed only so deep;
// anything else is left out of the page.
#include <cairo.h>

#include <string>

class PdfImageCache;

struct HtmlDrawBox {
    double x = 0, y = 0, width = 0, height = 0;
};

struct HtmlDrawResult {
    bool ok = false;
    std::string error;
    int layoutWidth = 0;
    int layoutHeight = 0;
    double scale = 1.0;
};

// Draws html (UTF-8) into box (in the cairo context's user units, taken as
// CSS pixels); the files it names are read only from inside rootFolder. A layout larger than the box shrinks to fit when
// shrinkToFit, else it is clipped. Pictures are stored as JPEG at
// jpegQuality when opaque. Safe to call from several threads: the layout
// engine and font lookup are serialised inside.
HtmlDrawResult DrawHtmlPage(cairo_t* cr, const std::string& html, const std::string& baseFolder,
    const std::string& rootFolder, const HtmlDrawBox& box, bool shrinkToFit, int jpegQuality, PdfImageCache& images);

// The text with "<!--" and "-->" removed from the contents of every <style>
// element, which the layout engine would otherwise read as part of the first
// rule.
std::string StripStyleCommentMarkers(const std::string& html);

// "folder" with "\" turned into "/" and a final "/".
std::string NormaliseBaseFolder(const std::string& folder);

// An address from a page resolved against a base folder or base address:
// absolute file paths for relative addresses and "file:" URLs, the address
// unchanged when it has another scheme.
std::string ResolvePageAddress(const std::string& address, const std::string& base);

// The file an address of a page names when it lies inside root: a relative
// address (resolved against base) or a "file:" URL that stays there. Empty
// for an absolute path, another scheme, or an address that leaves root.
std::string ConfinedPageFile(const std::string& address, const std::string& base, const std::string& root);
