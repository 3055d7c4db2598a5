#pragma once
// The class library's font as a value: family name, size, style and colour.
// Size in points and height in pixels are two views of one value at 96
// dots per inch (a height of -13 pixels is 10 points; a negative height
// counts the em, as the class library does).
#include <functional>
#include <string>

#include "controls/Colors.h"

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

class TFont {
public:
    TFont() = default;
    TFont(const TFont& other) : name_(other.name_), height_(other.height_), style_(other.style_), color_(other.color_) {}
    // Takes the other's look; the change callback stays this font's own.
    TFont& operator=(const TFont& other);
    void Assign(const TFont& other) { *this = other; }

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    int Size() const;
    void SetSize(int points);
    int Height() const { return height_; }
    void SetHeight(int pixels);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    // Called after every change that alters the font.
    std::function<void()> OnChange;

    friend bool operator==(const TFont& a, const TFont& b)
    {
        return a.name_ == b.name_ && a.height_ == b.height_ && a.style_ == b.style_ && a.color_ == b.color_;
    }

private:
    void Changed();

    std::string name_ = "Arial";
    int height_ = -11;  // 8 points
    TFontStyles style_ = 0;
    TColor color_ = colors::clWindowText;
};
