#pragma once
// Sheets of the whole thumbnail list widget.
#include <QImage>

// The main window's strip: empty, filled with a selection, hover and focus,
// scrolled with a disabled item, and with an item zoomed in.
QImage ListWidgetStripSheet();
// A grid of three columns with captions, splitters with expanders, a header
// with its navigator and a top-layer box.
QImage ListWidgetGridSheet();
