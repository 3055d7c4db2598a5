#pragma once
// The thumbnail list control in each of its colour schemes.
#include <QImage>

// Twelve panels: the same small grid (header, a splitter with its expander,
// normal, selected and disabled cells with captions, the footer navigator)
// under each scheme but tsCustom.
QImage ListBoxStylesSheet();
