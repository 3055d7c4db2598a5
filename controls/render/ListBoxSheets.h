#pragma once
// Sheets of the thumbnail strip's parts.
#include <QImage>

// Navigator shapes and button states, header and footer bars.
QImage ListBoxBarsSheet();
// A cell per item state, splitters with expanders in both modes, top-layer boxes.
QImage ListBoxCellsSheet();
