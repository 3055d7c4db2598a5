#pragma once
// System colours and the small integer helpers the drawing code relies on.
#include <cstdint>

// A colour as the class library keeps it: 0x00BBGGRR, or a system colour
// 0x80000000 | index, or one of the special values below.
using TColor = int32_t;
using COLORREF = uint32_t;

inline constexpr TColor kSystemColorFlag = static_cast<TColor>(0x80000000u);

// System colour indexes.
enum : int {
    COLOR_SCROLLBAR = 0, COLOR_BACKGROUND, COLOR_ACTIVECAPTION, COLOR_INACTIVECAPTION, COLOR_MENU, COLOR_WINDOW,
    COLOR_WINDOWFRAME, COLOR_MENUTEXT, COLOR_WINDOWTEXT, COLOR_CAPTIONTEXT, COLOR_ACTIVEBORDER,
    COLOR_INACTIVEBORDER, COLOR_APPWORKSPACE, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE,
    COLOR_BTNSHADOW, COLOR_GRAYTEXT, COLOR_BTNTEXT, COLOR_INACTIVECAPTIONTEXT, COLOR_BTNHIGHLIGHT,
    COLOR_3DDKSHADOW, COLOR_3DLIGHT, COLOR_INFOTEXT, COLOR_INFOBK, COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION, COLOR_GRADIENTINACTIVECAPTION, COLOR_MENUHILIGHT, COLOR_MENUBAR,
    COLOR_ENDCOLORS = COLOR_MENUBAR
};

// The value of a system colour as 0x00BBGGRR. The table is fixed (the
// long-standing default desktop scheme), so drawings come out the same on every
// desktop; an unknown index gives 0.
COLORREF GetSysColor(int index);

// A class-library colour as 0x00BBGGRR: system colours are looked up, plain
// colours lose their top byte.
int32_t ColorToRGB(TColor color);

// a × b / c with a 64-bit intermediate, rounded half away from zero;
// -1 when c is 0 or the result does not fit.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);
