#pragma once
// Sheets of fills, pictures and caption markup for render-controls.
#include <QImage>

QImage FillsSheet();
QImage PicturesSheet();
QImage MarkupSheet();
QImage PaintersSheet();
