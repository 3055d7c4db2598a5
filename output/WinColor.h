#pragma once
// Colours in the class library's layout (0x00BBGGRR, red in the low byte),
// as templates and settings store them, to and from Qt's.
#include <cstdint>

#include <QColor>

QColor ColorFromWin(std::uint32_t color);
// The alpha channel is dropped; the top byte is always 0.
std::uint32_t WinFromColor(const QColor& color);
