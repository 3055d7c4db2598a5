// Font families, fonts, string formats, and measuring and drawing strings.
//
// Metrics follow the layer's conventions in one place: a string's box has
// 1/6 em of padding on each side, trailing spaces are not measured unless the
// format asks for them, and sizes are taken at 96 dots per inch whatever the
// device.
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <mutex>
#include <vector>
#include <new>

#include "platform/gdiplus/GdiPlusFlat.h"

struct GpFontCollection {};

namespace {

bool HaveGuiApplication()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// The installed family of that name, case-insensitively; "Arial" is the
// metric-compatible family that is always installed with the program.
QString ResolveFamily(const QString& requested)
{
    static std::mutex lock;
    static QStringList families;
    std::lock_guard<std::mutex> guard(lock);
    if (families.isEmpty())
        families = QFontDatabase::families();
    QString wanted = requested.trimmed();
    if (wanted.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        wanted = QStringLiteral("Liberation Sans");
    for (const QString& family : families)
        if (family.compare(wanted, Qt::CaseInsensitive) == 0)
            return family;
    return QString();
}

// The device text is laid out for: fixed at 96 dots per inch, so sizes and
// metrics are the same on every surface.
QPaintDevice* MetricsDevice()
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.setDotsPerMeterX(3780);  // 96 dots per inch
        image.setDotsPerMeterY(3780);
        return image;
    }();
    return &device;
}

QFont ToQFont(const GpFont& font, TextRenderingHint hint)
{
    QFont f(font.family);
    f.setPointSizeF(font.PixelSize() * 72.0 / 96.0);
    f.setBold(font.style & FontStyleBold);
    f.setItalic(font.style & FontStyleItalic);
    f.setUnderline(font.style & FontStyleUnderline);
    f.setStrikeOut(font.style & FontStyleStrikeout);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferNoHinting);
    QFont::StyleStrategy strategy = QFont::PreferDefault;
    if (hint == TextRenderingHintSingleBitPerPixel || hint == TextRenderingHintSingleBitPerPixelGridFit)
        strategy = QFont::NoAntialias;
    f.setStyleStrategy(strategy);
    return f;
}

struct TextBlock {
    QString text;
    std::vector<int> underlined;  // hot-key characters shown underlined
};

TextBlock ApplyHotkeys(const QString& raw, HotkeyPrefix prefix)
{
    TextBlock block;
    if (prefix == HotkeyPrefixNone) {
        block.text = raw;
        return block;
    }
    for (int i = 0; i < raw.size(); ++i) {
        if (raw[i] == QLatin1Char('&') && i + 1 < raw.size()) {
            ++i;
            if (raw[i] != QLatin1Char('&') && prefix == HotkeyPrefixShow)
                block.underlined.push_back(static_cast<int>(block.text.size()));
        }
        block.text.append(raw[i]);
    }
    return block;
}

// A line's width, without its trailing spaces unless they are measured.
qreal LineWidth(const QTextLine& line, const QString& text, bool trailing)
{
    if (trailing)
        return line.horizontalAdvance();
    int end = line.textStart() + line.textLength();
    while (end > line.textStart() && text.at(end - 1).isSpace())
        --end;
    if (end == line.textStart())
        return 0;
    return line.cursorToX(end) - line.cursorToX(line.textStart());
}

// One laid-out string: the lines and the box they make, in unrotated
// coordinates with the box's top-left corner at the origin.
struct Layout {
    std::unique_ptr<QTextLayout> layout;
    qreal pad = 0;
    qreal lineSpacing = 0;
    qreal ascent = 0;
    int lines = 0;
    int fitted = 0;
    qreal boxWidth = 0;   // along the text
    qreal boxHeight = 0;  // across the lines
};

Layout LayOut(const QString& raw, const GpFont& font, QSizeF room, const GpStringFormat& format,
              TextRenderingHint hint)
{
    Layout out;
    const TextBlock block = ApplyHotkeys(raw, format.hotkey);
    const QFont qfont = ToQFont(font, hint);
    const QFontMetricsF metrics(qfont, MetricsDevice());
    out.pad = font.PixelSize() / 6.0;
    out.lineSpacing = metrics.lineSpacing();
    out.ascent = metrics.ascent();
    const QSizeF givenRoom = room;
    const bool vertical = format.flags & StringFormatFlagsDirectionVertical;
    if (vertical)
        room.transpose();
    const bool wrap = room.width() > 0 && !(format.flags & StringFormatFlagsNoWrap);
    const qreal lineWidth = wrap ? std::max<qreal>(room.width() - 2 * out.pad, 1) : 1e7;

    out.layout = std::make_unique<QTextLayout>(block.text, qfont, MetricsDevice());
    QTextOption option;
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTextDirection(format.flags & StringFormatFlagsDirectionRightToLeft ? Qt::RightToLeft
                                                                                   : Qt::LeftToRight);
    out.layout->setTextOption(option);
    QList<QTextLayout::FormatRange> underlines;
    for (int position : block.underlined) {
        QTextLayout::FormatRange range;
        range.start = position;
        range.length = 1;
        range.format.setFontUnderline(true);
        underlines.append(range);
    }
    out.layout->setFormats(underlines);
    const bool trailing = format.flags & StringFormatFlagsMeasureTrailingSpaces;
    const bool lineLimit = format.flags & StringFormatFlagsLineLimit;
    qreal widest = 0;
    out.layout->beginLayout();
    for (;;) {
        QTextLine line = out.layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(lineWidth);
        const qreal top = out.lines * out.lineSpacing;
        if (room.height() > 0 && out.lines > 0) {
            // Partly visible lines are shown unless only whole lines may be.
            const bool fits = lineLimit ? top + out.lineSpacing <= room.height() + 0.001
                                        : top < room.height() - 0.001;
            if (!fits) {
                // Lines that do not fit are left out.
                line.setPosition(QPointF(0, -1e7));
                break;
            }
        }
        line.setPosition(QPointF(0, top));
        widest = std::max(widest, LineWidth(line, block.text, trailing));
        out.fitted = line.textStart() + line.textLength();
        ++out.lines;
    }
    out.layout->endLayout();
    // Text that does not fit ends in an ellipsis when the format asks for it:
    // the rest of the text from the last shown line on is shortened to fit
    // that line, and the whole is laid out again.
    const bool cut = out.fitted < block.text.size() ||
                     (!wrap && room.width() > 0 && widest + 2 * out.pad > room.width() + 0.001);
    if (cut && out.lines > 0 && format.trimming >= StringTrimmingEllipsisCharacter) {
        const int lastStart = out.layout->lineAt(out.lines - 1).textStart();
        const qreal available = room.width() > 0 ? std::max<qreal>(room.width() - 2 * out.pad, 1) : lineWidth;
        const QString elided = metrics.elidedText(
            block.text.mid(lastStart),
            format.trimming == StringTrimmingEllipsisPath ? Qt::ElideMiddle : Qt::ElideRight, available);
        GpStringFormat plain = format;
        plain.trimming = StringTrimmingNone;
        plain.hotkey = HotkeyPrefixNone;
        return LayOut(block.text.left(lastStart) + elided, font, givenRoom, plain, hint);
    }
    // Every line that was laid out past the last fitting one is hidden.
    for (int i = out.lines; i < out.layout->lineCount(); ++i)
        out.layout->lineAt(i).setPosition(QPointF(0, -1e7));
    if (block.text.isEmpty()) {
        out.lines = 0;
        widest = 0;
    }
    out.boxWidth = block.text.isEmpty() ? 0 : widest + 2 * out.pad;
    out.boxHeight = out.lines * out.lineSpacing;
    if (room.width() > 0)
        out.boxWidth = std::min(out.boxWidth, room.width());
    if (room.height() > 0)
        out.boxHeight = std::min(out.boxHeight, room.height());
    // Place each line across the box by the format's alignment.
    for (int i = 0; i < out.lines; ++i) {
        QTextLine line = out.layout->lineAt(i);
        const qreal width = LineWidth(line, block.text, trailing);
        const qreal inner = out.boxWidth - 2 * out.pad;
        qreal x = out.pad;
        if (format.align == StringAlignmentCenter)
            x += (inner - width) / 2;
        else if (format.align == StringAlignmentFar)
            x += inner - width;
        line.setPosition(QPointF(x, line.position().y()));
    }
    return out;
}

qreal Aligned(qreal start, qreal room, qreal size, StringAlignment alignment)
{
    if (alignment == StringAlignmentCenter)
        return room > 0 ? start + (room - size) / 2 : start - size / 2;
    if (alignment == StringAlignmentFar)
        return room > 0 ? start + room - size : start - size;
    return start;
}

// The box of a laid-out string in the caller's coordinates.
QRectF PlaceBox(const Layout& layout, const QRectF& rect, const GpStringFormat& format)
{
    const bool vertical = format.flags & StringFormatFlagsDirectionVertical;
    const qreal width = vertical ? layout.boxHeight : layout.boxWidth;
    const qreal height = vertical ? layout.boxWidth : layout.boxHeight;
    // Vertically, alignment runs down the text and line alignment across it.
    const StringAlignment horizontal = vertical ? format.lineAlign : format.align;
    const StringAlignment downward = vertical ? format.align : format.lineAlign;
    return QRectF(Aligned(rect.x(), rect.width(), width, horizontal),
                  Aligned(rect.y(), rect.height(), height, downward), width, height);
}

QString StringOf(const WCHAR* string, INT length)
{
    if (length < 0)
        length = static_cast<INT>(std::char_traits<char16_t>::length(string));
    // Text ends at a NUL even when the length says more.
    INT n = 0;
    while (n < length && string[n] != 0)
        ++n;
    return QString::fromUtf16(string, n);
}

const GpStringFormat& FormatOrDefault(const GpStringFormat* format)
{
    static const GpStringFormat defaults;
    return format ? *format : defaults;
}

}  // namespace

qreal GpFont::PixelSize() const
{
    return emSize * PixelsPerUnit(unit);
}

GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection*, GpFontFamily** family)
{
    if (!name || !family)
        return InvalidParameter;
    *family = nullptr;
    if (!HaveGuiApplication())
        return GdiplusNotInitialized;
    const QString resolved = ResolveFamily(QString::fromUtf16(name));
    if (resolved.isEmpty())
        return FontFamilyNotFound;
    auto* made = new (std::nothrow) GpFontFamily;
    if (!made)
        return OutOfMemory;
    made->name = resolved;
    *family = made;
    return Ok;
}

GpStatus GdipDeleteFontFamily(GpFontFamily* family)
{
    return DeleteFlatObject(family);
}

GpStatus GdipGetFamilyName(const GpFontFamily* family, WCHAR name[32], WORD)
{
    if (!family || !name)
        return InvalidParameter;
    const QString text = family->name.left(31);
    std::fill(name, name + 32, u'\0');
    std::copy(text.utf16(), text.utf16() + text.size(), name);
    return Ok;
}

GpStatus GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, Unit_ unit, GpFont** font)
{
    if (!font)
        return InvalidParameter;
    *font = nullptr;
    if (!family || emSize <= 0 || unit == UnitDisplay || unit < UnitWorld || unit > UnitMillimeter)
        return InvalidParameter;
    auto* made = new (std::nothrow) GpFont;
    if (!made)
        return OutOfMemory;
    made->family = family->name;
    made->emSize = emSize;
    made->style = style;
    made->unit = unit;
    *font = made;
    return Ok;
}

GpStatus GdipDeleteFont(GpFont* font)
{
    return DeleteFlatObject(font);
}

GpStatus GdipGetFontSize(GpFont* font, REAL* size)
{
    if (!font || !size)
        return InvalidParameter;
    *size = font->emSize;
    return Ok;
}

GpStatus GdipCreateStringFormat(INT flags, WORD language, GpStringFormat** format)
{
    if (!format)
        return InvalidParameter;
    *format = new (std::nothrow) GpStringFormat;
    if (!*format)
        return OutOfMemory;
    (*format)->flags = flags;
    (*format)->language = language;
    return Ok;
}

GpStatus GdipCloneStringFormat(const GpStringFormat* format, GpStringFormat** clone)
{
    if (!format || !clone)
        return InvalidParameter;
    *clone = new (std::nothrow) GpStringFormat(*format);
    return *clone ? Ok : OutOfMemory;
}

GpStatus GdipDeleteStringFormat(GpStringFormat* format)
{
    return DeleteFlatObject(format);
}

GpStatus GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align)
{
    if (!format || align < StringAlignmentNear || align > StringAlignmentFar)
        return InvalidParameter;
    format->align = align;
    return Ok;
}

GpStatus GdipGetStringFormatAlign(GpStringFormat* format, StringAlignment* align)
{
    if (!format || !align)
        return InvalidParameter;
    *align = format->align;
    return Ok;
}

GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align)
{
    if (!format || align < StringAlignmentNear || align > StringAlignmentFar)
        return InvalidParameter;
    format->lineAlign = align;
    return Ok;
}

GpStatus GdipGetStringFormatLineAlign(GpStringFormat* format, StringAlignment* align)
{
    if (!format || !align)
        return InvalidParameter;
    *align = format->lineAlign;
    return Ok;
}

GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, StringTrimming trimming)
{
    if (!format || trimming < StringTrimmingNone || trimming > StringTrimmingEllipsisPath)
        return InvalidParameter;
    format->trimming = trimming;
    return Ok;
}

GpStatus GdipGetStringFormatTrimming(GpStringFormat* format, StringTrimming* trimming)
{
    if (!format || !trimming)
        return InvalidParameter;
    *trimming = format->trimming;
    return Ok;
}

GpStatus GdipSetStringFormatHotkeyPrefix(GpStringFormat* format, INT hotkeyPrefix)
{
    if (!format || hotkeyPrefix < HotkeyPrefixNone || hotkeyPrefix > HotkeyPrefixHide)
        return InvalidParameter;
    format->hotkey = static_cast<HotkeyPrefix>(hotkeyPrefix);
    return Ok;
}

GpStatus GdipGetStringFormatHotkeyPrefix(GpStringFormat* format, INT* hotkeyPrefix)
{
    if (!format || !hotkeyPrefix)
        return InvalidParameter;
    *hotkeyPrefix = format->hotkey;
    return Ok;
}

GpStatus GdipSetStringFormatFlags(GpStringFormat* format, INT flags)
{
    if (!format)
        return InvalidParameter;
    format->flags = flags;
    return Ok;
}

GpStatus GdipGetStringFormatFlags(GpStringFormat* format, INT* flags)
{
    if (!format || !flags)
        return InvalidParameter;
    *flags = format->flags;
    return Ok;
}

GpStatus GdipMeasureString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                           const RectF* layoutRect, const GpStringFormat* format, RectF* boundingBox,
                           INT* codepointsFitted, INT* linesFilled)
{
    if (!graphics || !string || !font || !layoutRect || !boundingBox)
        return InvalidParameter;
    if (graphics->dcOut)
        return ObjectBusy;
    if (!HaveGuiApplication())
        return GdiplusNotInitialized;
    const GpStringFormat& f = FormatOrDefault(format);
    const QRectF rect(layoutRect->X, layoutRect->Y, layoutRect->Width, layoutRect->Height);
    const Layout layout = LayOut(StringOf(string, length), *font, rect.size(), f, graphics->textHint);
    const QRectF box = PlaceBox(layout, rect, f);
    *boundingBox = {REAL(box.x()), REAL(box.y()), REAL(box.width()), REAL(box.height())};
    if (codepointsFitted)
        *codepointsFitted = layout.fitted;
    if (linesFilled)
        *linesFilled = layout.lines;
    return Ok;
}

GpStatus GdipDrawString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                        const RectF* layoutRect, const GpStringFormat* format, const GpBrush* brush)
{
    if (!graphics || !string || !font || !layoutRect || !brush)
        return InvalidParameter;
    if (graphics->dcOut)
        return ObjectBusy;
    if (!HaveGuiApplication())
        return GdiplusNotInitialized;
    const GpStringFormat& f = FormatOrDefault(format);
    const QRectF rect(layoutRect->X, layoutRect->Y, layoutRect->Width, layoutRect->Height);
    const Layout layout = LayOut(StringOf(string, length), *font, rect.size(), f, graphics->textHint);
    if (layout.lines == 0)
        return Ok;
    const QRectF box = PlaceBox(layout, rect, f);
    QPainterPath limit;
    const bool clipToRect = rect.width() > 0 && rect.height() > 0 && !(f.flags & StringFormatFlagsNoClip);
    if (clipToRect)
        limit.addRect(rect);
    graphics->Prepare(clipToRect ? &limit : nullptr);
    QPainter* p = graphics->painter;
    const QTransform saved = p->transform();
    QPainterPath unused;
    p->setPen(QPen(brush->ToQBrush(&unused), 0));
    p->setBrush(Qt::NoBrush);
    if (f.flags & StringFormatFlagsDirectionVertical) {
        // Text runs downwards, lines follow each other leftwards.
        p->translate(box.right(), box.top());
        p->rotate(90);
    } else {
        p->translate(box.topLeft());
    }
    // Lay out against the fixed 96-dpi device, draw on whatever the painter is.
    layout.layout->draw(p, QPointF(0, 0));
    p->setTransform(saved);
    return Ok;
}
