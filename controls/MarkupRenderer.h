#pragma once
// Captions in a small HTML-like markup: laid out and drawn on a surface,
// measured, hit-tested for links, stripped to plain text, and searched.
// Texts are UTF-8; positions count bytes.
#include <QPointer>
#include <string>

#include "controls/Colors.h"
#include "controls/Font.h"
#include "controls/GPGraphics.h"

class TImageList;
class TGDIPPictureContainer;

inline constexpr TColor kMarkupNoColor = 0x1FFFFFFF;

struct MarkupParams {
    TGPGraphics* Graphics = nullptr;  // required
    TFont Font;                       // the base font
    std::string Text;
    TRect R;
    QPointer<TImageList> Images;                 // "IDX:n"
    QPointer<TGDIPPictureContainer> Container;  // pictures by name
    int XPos = -1, YPos = -1;                    // the test point
    int FocusLink = -1, HoverLink = -1;          // link numbers, from 0
    int ShadowOffset = 1;
    TColor ShadowColor = colors::clGray;
    TColor URLColor = colors::clBlue;
    TColor HoverColor = kMarkupNoColor;  // background of the hovered link
    TColor HoverFontColor = kMarkupNoColor;
    TColor BlinkColor = colors::clWhite;  // what blinking text turns into
    bool BlinkOn = true;                  // the blink phase that shows text
    bool WordWrap = false;
    bool CheckOnly = false;  // measure only: nothing is drawn
    int LineSpacing = 0;
    double Resolution = 1.0;
};

struct MarkupResult {
    int XSize = 0, YSize = 0;  // what the text needs
    int HyperLinks = 0;
    int MouseLink = -1;  // the link under the test point
    std::string Anchor;  // its value
    std::string Hint;    // ALT text of the picture under the test point
    TRect HoverRect;     // where that link's piece lies
    std::string StrippedText;  // the visible text
};

// Draws (or only measures) the text in R; true when the test point is on a
// link.
bool RenderMarkup(const MarkupParams& params, MarkupResult& result);

// Every run from "<" to the next ">" removed; a "<" with no ">" after it
// stays, with the rest of the text.
std::string StripTags(const std::string& text);
// The 1-based position in the text of visible character n (one past the
// last gives length + 1); 0 when there is none.
int VisibleToTextIndex(const std::string& text, int n);
// Searches `search` in the text after its first `from` characters; the
// 1-based position plus `from`, or 0.
int FindVisibleText(const std::string& text, const std::string& search, int from, int& position, bool caseSensitive);
// Wraps every occurrence of the search in the visible text in <tag>...</tag>.
std::string HighlightText(const std::string& markup, const std::string& search, const std::string& tag,
                          bool caseSensitive);

// Colour names as "clred", "#RRGGBB" in hexadecimal digits of either case;
// anything else is black.
TColor TextToColor(const std::string& name);
TColor HTMLColorToColor(const std::string& value);
// Two hexadecimal digits; -1 when either is not one.
int HexPairValue(const std::string& pair);
// 1-based case-insensitive position of the needle, 0 when absent.
int IPos(const std::string& needle, const std::string& haystack);
int VarPos(const std::string& needle, const std::string& haystack, int& position);
// The decimal value, 0 when the text is not a number.
int IStrToInt(const std::string& text);
// Replaces the first case-insensitive occurrence; true when one was replaced.
bool ReplaceOnce(std::string& text, const std::string& from, const std::string& to);
// Carriage returns become <BR>, line feeds go.
std::string LineBreaksToBR(const std::string& text);
// "<#name>" becomes "name".
std::string RemoveFieldTagMarkers(const std::string& text);
bool IsDirectory(const std::string& path);
