#pragma once
// The colour schemes of the thumbnail strip, held as a table: one row per
// property a scheme sets, in the order the schemes set them, one value per
// scheme. GUI thread only.
#include "controls/Colors.h"
#include "controls/StyleIF.h"

class TGDIPFill;
class TSmoothImageListBoxHeader;
class TSmoothImageListBoxFooter;
class TSmoothImageListBoxItemAppearance;

// What a scheme recolours: the strip's background fill and its owned parts.
struct TListBoxStyleParts {
    TGDIPFill* Fill;
    TSmoothImageListBoxHeader* Header;
    TSmoothImageListBoxFooter* Footer;
    TSmoothImageListBoxItemAppearance* ItemAppearance;
};

// One property a scheme sets. Values has one entry per scheme, in the
// enumeration's order without tsCustom; kKeep leaves the property alone.
struct TListBoxStyleRow {
    const char* Property;
    void (*Set)(const TListBoxStyleParts& parts, TColor value);
    TColor Values[12];
};
inline constexpr TColor kKeep = 0x7FFFFFFF;  // neither a colour nor a system colour

// The rows in the order they are applied.
const TListBoxStyleRow* ListBoxStyleRows(int& count);
// The column of a scheme in the rows; -1 for tsCustom and values outside the
// enumeration.
int ListBoxStyleColumn(TControlStyle style);

// Points the splitter's gradient along the strip (rows set, columns 0:
// horizontal) or across the grid (rows 0: vertical), then sets every row of
// the scheme through the parts' own setters, so each change repaints.
void ApplyListBoxStyle(const TListBoxStyleParts& parts, int rows, int columns, TControlStyle style);
