#pragma once
// The addresses a style sheet names: url(...), @import "..." and the
// strings of image-set(). A template's styles are received text, and a page
// refers only to files of its own folder, so an address that leaves the
// portfolio folder is taken out of the sheet before it reaches a page.
#include <string>

// css with every address that leaves the folder neutralised: a url() (or
// image-set()) becomes "none", an @import goes up to its ";". Leaving means
// an absolute path, an address with a scheme ("data:" excepted: it names no
// file), or one that climbs with ".." above the folder, which lies
// `levelsUp` folders above the page (0 for a page at its top). CSS escapes
// and percent escapes are read as a browser reads them.
std::string KeepAddressesInside(const std::string& css, int levelsUp);
