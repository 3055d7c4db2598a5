#include "controls/GPFonts.h"

#include "platform/rtl/Exception.h"

TGPFontFamily::TGPFontFamily(const std::u16string& name, TGPFontCollection* collection)
{
    lastResult = GdipCreateFontFamilyFromName(name.c_str(), collection ? collection->NativeFontCollection() : nullptr,
                                              &nativeFamily);
}

TGPFontFamily::~TGPFontFamily()
{
    if (nativeFamily)
        GdipDeleteFontFamily(nativeFamily);
}

std::u16string TGPFontFamily::GetFamilyName()
{
    WCHAR name[32] = {};
    if (KeepStatus(lastResult, GdipGetFamilyName(nativeFamily, name, 0)) != Ok)
        return std::u16string();
    return std::u16string(name);
}

TGPFont::TGPFont(TGPFontFamily* family, float emSize, int style, Unit_ unit)
{
    lastResult = GdipCreateFont(family ? family->NativeFamily() : nullptr, emSize, style, unit, &nativeFont);
}

TGPFont::~TGPFont()
{
    if (nativeFont)
        GdipDeleteFont(nativeFont);
}

float TGPFont::GetSize()
{
    float size = 0;
    KeepStatus(lastResult, GdipGetFontSize(nativeFont, &size));
    return size;
}

TGPStringFormat::TGPStringFormat(int formatFlags, WORD language)
{
    lastResult = GdipCreateStringFormat(formatFlags, language, &nativeFormat);
}

TGPStringFormat::TGPStringFormat(const TGPStringFormat* format)
{
    lastResult = GdipCloneStringFormat(format ? format->nativeFormat : nullptr, &nativeFormat);
}

TGPStringFormat::~TGPStringFormat()
{
    if (nativeFormat)
        GdipDeleteStringFormat(nativeFormat);
}

void TGPStringFormat::Assign(const TGPStringFormat* source)
{
    if (!source)
        throw Exception("Assertion failure");
    // Cloning first keeps a self-assignment from cloning a freed handle.
    if (source == this)
        return;
    GpStringFormat* clone = nullptr;
    lastResult = GdipCloneStringFormat(source->nativeFormat, &clone);
    if (nativeFormat)
        GdipDeleteStringFormat(nativeFormat);
    nativeFormat = clone;
}

Status TGPStringFormat::SetFormatFlags(int flags)
{
    return KeepStatus(lastResult, GdipSetStringFormatFlags(nativeFormat, flags));
}

int TGPStringFormat::GetFormatFlags()
{
    INT flags = 0;
    KeepStatus(lastResult, GdipGetStringFormatFlags(nativeFormat, &flags));
    return flags;
}

Status TGPStringFormat::SetAlignment(StringAlignment align)
{
    return KeepStatus(lastResult, GdipSetStringFormatAlign(nativeFormat, align));
}

StringAlignment TGPStringFormat::GetAlignment()
{
    StringAlignment align = StringAlignmentNear;
    KeepStatus(lastResult, GdipGetStringFormatAlign(nativeFormat, &align));
    return align;
}

Status TGPStringFormat::SetLineAlignment(StringAlignment align)
{
    return KeepStatus(lastResult, GdipSetStringFormatLineAlign(nativeFormat, align));
}

StringAlignment TGPStringFormat::GetLineAlignment()
{
    StringAlignment align = StringAlignmentNear;
    KeepStatus(lastResult, GdipGetStringFormatLineAlign(nativeFormat, &align));
    return align;
}

Status TGPStringFormat::SetTrimming(StringTrimming trimming)
{
    return KeepStatus(lastResult, GdipSetStringFormatTrimming(nativeFormat, trimming));
}

StringTrimming TGPStringFormat::GetTrimming()
{
    StringTrimming trimming = StringTrimmingNone;
    KeepStatus(lastResult, GdipGetStringFormatTrimming(nativeFormat, &trimming));
    return trimming;
}

Status TGPStringFormat::SetHotkeyPrefix(HotkeyPrefix hotkeyPrefix)
{
    return KeepStatus(lastResult, GdipSetStringFormatHotkeyPrefix(nativeFormat, hotkeyPrefix));
}

HotkeyPrefix TGPStringFormat::GetHotkeyPrefix()
{
    INT prefix = HotkeyPrefixNone;
    KeepStatus(lastResult, GdipGetStringFormatHotkeyPrefix(nativeFormat, &prefix));
    return static_cast<HotkeyPrefix>(prefix);
}
