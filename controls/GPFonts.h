#pragma once
#include <string>

#include "controls/GPBase.h"

class TGPFontCollection : public TGdiplusBase {
public:
    TGPFontCollection() = default;
    GpFontCollection* NativeFontCollection() const { return nullptr; }
    Status GetLastStatus() { return lastResult; }

private:
    // Every status is kept here, Ok included.
    Status lastResult = Ok;
};

class TGPFontFamily : public TGdiplusBase {
public:
    explicit TGPFontFamily(const std::u16string& name, TGPFontCollection* collection = nullptr);
    TGPFontFamily(GpFontFamily* native, Status status) : nativeFamily(native), lastResult(status) {}
    ~TGPFontFamily() override;

    std::u16string GetFamilyName();
    GpFontFamily* NativeFamily() const { return nativeFamily; }
    Status LastResult() const { return lastResult; }

private:
    GpFontFamily* nativeFamily = nullptr;
    Status lastResult = Ok;
};

class TGPFont : public TGdiplusBase {
public:
    TGPFont(TGPFontFamily* family, float emSize, int style = FontStyleRegular, Unit_ unit = UnitPoint);
    TGPFont(GpFont* native, Status status) : nativeFont(native), lastResult(status) {}
    ~TGPFont() override;

    float GetSize();
    GpFont* NativeFont() const { return nativeFont; }
    Status LastResult() const { return lastResult; }

private:
    GpFont* nativeFont = nullptr;
    Status lastResult = Ok;
};

class TGPStringFormat : public TGdiplusBase {
public:
    explicit TGPStringFormat(int formatFlags = 0, WORD language = 0);
    // A copy of `format`; without one the format has no handle and keeps
    // InvalidParameter.
    explicit TGPStringFormat(const TGPStringFormat* format);
    ~TGPStringFormat() override;

    // Takes over a copy of the other's settings. Assigning a format to itself
    // changes nothing; a missing source throws Exception("Assertion failure").
    void Assign(const TGPStringFormat* source);

    Status SetFormatFlags(int flags);
    int GetFormatFlags();
    Status SetAlignment(StringAlignment align);
    StringAlignment GetAlignment();
    Status SetLineAlignment(StringAlignment align);
    StringAlignment GetLineAlignment();
    Status SetTrimming(StringTrimming trimming);
    StringTrimming GetTrimming();
    Status SetHotkeyPrefix(HotkeyPrefix hotkeyPrefix);
    HotkeyPrefix GetHotkeyPrefix();

    GpStringFormat* NativeFormat() const { return nativeFormat; }
    Status LastResult() const { return lastResult; }

private:
    GpStringFormat* nativeFormat = nullptr;
    Status lastResult = Ok;
};
