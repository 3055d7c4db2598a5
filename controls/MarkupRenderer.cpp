#include "controls/MarkupRenderer.h"

#include <QAbstractFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>
#include <sys/stat.h>

#include "controls/GDIPPictureContainer.h"
#include "controls/ImageList.h"
#include "controls/Utf16.h"

// ---- string functions --------------------------------------------------------

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }
std::string LowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), Lower);
    return s;
}
std::string UpperCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), Upper);
    return s;
}

// The end (the ">") of a tag opened at `open`.
size_t TagEnd(const std::string& text, size_t open) { return text.find('>', open + 1); }

// Tags never include a "<" that has no ">" after it; the first such "<"
// starts literal text up to the end. Whether a ">" follows is decided by
// the text's last ">" (found once), not by a search from every "<": a
// text full of unclosed "<" would take time in the square of its length.
bool IsTagStart(const std::string& text, size_t i, size_t lastClose)
{
    return text[i] == '<' && lastClose != std::string::npos && i < lastClose;
}

// The markup position of every visible character, in one pass.
std::vector<size_t> VisiblePositions(const std::string& text)
{
    std::vector<size_t> positions;
    const size_t lastClose = text.rfind('>');
    for (size_t i = 0; i < text.size();) {
        if (IsTagStart(text, i, lastClose)) {
            i = TagEnd(text, i) + 1;
            continue;
        }
        positions.push_back(i++);
    }
    return positions;
}

}  // namespace

std::string StripTags(const std::string& text)
{
    std::string out;
    for (size_t i : VisiblePositions(text))
        out += text[i];
    return out;
}

int VisibleToTextIndex(const std::string& text, int n)
{
    if (n <= 0)
        return 0;
    const std::vector<size_t> positions = VisiblePositions(text);
    if (size_t(n) <= positions.size())
        return int(positions[size_t(n) - 1]) + 1;
    return size_t(n) == positions.size() + 1 ? int(text.size()) + 1 : 0;
}

int FindVisibleText(const std::string& text, const std::string& search, int from, int& position, bool caseSensitive)
{
    position = 0;
    if (search.empty() || from < 0 || size_t(from) > text.size())
        return 0;
    const std::string hay = caseSensitive ? text.substr(size_t(from)) : LowerCase(text.substr(size_t(from)));
    const std::string needle = caseSensitive ? search : LowerCase(search);
    const size_t found = hay.find(needle);
    if (found == std::string::npos)
        return 0;
    position = from + int(found) + 1;
    return position;
}

std::string HighlightText(const std::string& markup, const std::string& search, const std::string& tag,
                          bool caseSensitive)
{
    if (search.empty())
        return markup;  // nothing to mark, and no endless search for ""
    // The visible text is searched once, left to right without overlaps,
    // and the result is written in one pass: searching again and inserting
    // into the markup for each occurrence grows with the square of its size.
    const std::vector<size_t> positions = VisiblePositions(markup);
    std::string visible;
    visible.reserve(positions.size());
    for (size_t i : positions)
        visible += caseSensitive ? markup[i] : Lower(markup[i]);
    const std::string needle = caseSensitive ? search : LowerCase(search);
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    std::string out;
    size_t copied = 0;
    for (size_t found = visible.find(needle); found != std::string::npos;
         found = visible.find(needle, found + needle.size())) {
        const size_t first = positions[found], end = positions[found + needle.size() - 1] + 1;
        out.append(markup, copied, first - copied).append(open).append(markup, first, end - first).append(close);
        copied = end;
    }
    return out.append(markup, copied);
}

int HexPairValue(const std::string& pair)
{
    auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        c = Upper(c);
        return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    if (pair.size() < 2 || digit(pair[0]) < 0 || digit(pair[1]) < 0)
        return -1;
    return digit(pair[0]) * 16 + digit(pair[1]);
}

TColor HTMLColorToColor(const std::string& value)
{
    if (value.size() != 7 || value[0] != '#')
        return colors::clBlack;
    const int r = HexPairValue(value.substr(1, 2)), g = HexPairValue(value.substr(3, 2)),
              b = HexPairValue(value.substr(5, 2));
    if (r < 0 || g < 0 || b < 0)
        return colors::clBlack;
    return RGB(r, g, b);
}

TColor TextToColor(const std::string& name)
{
    if (!name.empty() && name[0] == '#')
        return HTMLColorToColor(name);
    static const std::map<std::string, TColor> named = {
        {"clred", 0x0000FF},    {"clblack", 0x000000}, {"clblue", 0xFF0000},    {"clgreen", 0x008000},
        {"claqua", 0xFFFF00},   {"clyellow", 0x00FFFF}, {"clfuchsia", 0xFF00FF}, {"clwhite", 0xFFFFFF},
        {"cllime", 0x00FF00},   {"clsilver", 0xC0C0C0}, {"clgray", 0x808080},    {"clolive", 0x008080},
        {"clnavy", 0x800000},   {"clpurple", 0x800080}, {"clteal", 0x808000},    {"clmaroon", 0x000080},
    };
    static const char* const system[] = {
        "clbackground",   "clactivecaption", "clinactivecaption", "clmenu",         "clwindow",
        "clwindowframe",  "clmenutext",      "clwindowtext",      "clcaptiontext",  "clactiveborder",
        "clinactiveborder", "clappworkspace", "clhighlight",      "clhighlighttext", "clbtnface",
        "clbtnshadow",    "clgraytext",      "clbtntext",         "clinactivecaptiontext", "clbtnhighlight",
        "cl3ddkshadow",   "cl3dlight",       "clinfotext",        "clinfobk"};
    const std::string lower = LowerCase(name);
    if (const auto it = named.find(lower); it != named.end())
        return it->second;
    for (int i = 0; i < 24; ++i)
        if (lower == system[i])
            return colors::SystemColor(i + 1);
    return colors::clBlack;
}

int IPos(const std::string& needle, const std::string& haystack)
{
    if (needle.empty())
        return 0;
    const size_t found = LowerCase(haystack).find(LowerCase(needle));
    return found == std::string::npos ? 0 : int(found) + 1;
}

int VarPos(const std::string& needle, const std::string& haystack, int& position)
{
    position = IPos(needle, haystack);
    return position;
}

int IStrToInt(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    if (i == text.size())
        return 0;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        value = std::min<long long>(value * 10 + (text[i] - '0'), INT32_MAX);
    }
    return int(negative ? -value : value);
}

bool ReplaceOnce(std::string& text, const std::string& from, const std::string& to)
{
    const int at = IPos(from, text);
    if (at == 0)
        return false;
    text.replace(size_t(at - 1), from.size(), to);
    return true;
}

std::string LineBreaksToBR(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "<BR>";
        else if (c != '\n')
            out += c;
    }
    return out;
}

std::string RemoveFieldTagMarkers(const std::string& text)
{
    std::string out = text;
    const size_t at = out.find("<#");
    if (at == std::string::npos)
        return out;
    out.erase(at, 2);
    const size_t close = out.find('>', at);
    if (close != std::string::npos)
        out.erase(close, 1);
    return out;
}

bool IsDirectory(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// ---- layout ------------------------------------------------------------------

namespace {

// Entities decode once, left to right, to their characters.
std::string DecodeEntities(const std::string& run)
{
    static const std::pair<const char*, const char*> entities[] = {
        {"&amp;", "&"},     {"&quot;", "\""},     {"&sect;", "\u00A7"}, {"&permil;", "\u2030"},
        {"&reg;", "\u00AE"}, {"&copy;", "\u00A9"}, {"&para;", "\u00B6"}, {"&trade;", "\u2122"},
        {"&euro;", "\u20AC"}, {"&nbsp;", " "},     {"&lt;", "<"},        {"&gt;", ">"},
    };
    std::string out;
    size_t i = 0;
    while (i < run.size()) {
        if (run[i] == '&') {
            bool replaced = false;
            for (const auto& [name, character] : entities) {
                const size_t n = std::char_traits<char>::length(name);
                if (run.compare(i, n, name) == 0) {
                    out += character;
                    i += n;
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        out += run[i++];
    }
    return out;
}

// The value in double quotes after the attribute's name (one followed by
// "="), so that BGCOLOR is not found inside BGCOLORTO; empty without one.
std::string Attribute(const std::string& tag, const std::string& name)
{
    const std::string upperTag = UpperCase(tag), upperName = UpperCase(name);
    for (size_t at = upperTag.find(upperName); at != std::string::npos; at = upperTag.find(upperName, at + 1)) {
        size_t i = at + name.size();
        while (i < tag.size() && tag[i] == ' ')
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        const size_t open = tag.find('"', i);
        if (open == std::string::npos)
            return {};
        const size_t close = tag.find('"', open + 1);
        return close == std::string::npos ? std::string() : tag.substr(open + 1, close - open - 1);
    }
    return {};
}

enum class Align { Left, Right, Center };

// Offsets, indents, picture sizes and everything summed from them stay
// within this many pixels, so that no sum a hostile caption asks for
// overflows; nothing a caption shows comes near it.
constexpr int kMaxExtent = 1 << 24;
constexpr int kMaxListLevel = 1000;

int Clamped(long long value) { return int(std::clamp<long long>(value, -kMaxExtent, kMaxExtent)); }

struct Style {
    TFont font;
    TColor background = kMarkupNoColor;
    bool sub = false, sup = false, shadow = false, hidden = false, error = false, blink = false, inLink = false;
    int link = -1;
    std::string linkValue = {};
    int listLevel = 0;
    Align align = Align::Left;
    int indent = 0;
    TColor paraBackground = kMarkupNoColor;
    TColor paraBackgroundTo = kMarkupNoColor;
};

// The styles saved by the opening tags of one name, latest on top. Each line
// is laid out from a copy of the state (measured first, then placed), so
// copies share the saved styles instead of duplicating them: a caption that
// opens thousands of tags over thousands of lines stays linear.
class SavedStyles {
public:
    SavedStyles() = default;
    SavedStyles(const SavedStyles&) = default;
    SavedStyles& operator=(const SavedStyles& other)
    {
        if (this != &other) {
            Release();
            top_ = other.top_;
        }
        return *this;
    }
    ~SavedStyles() { Release(); }

    void Push(const Style& style) { top_ = std::make_shared<Node>(Node{style, std::move(top_)}); }
    const Style* Top() const { return top_ ? &top_->style : nullptr; }
    void Pop()
    {
        if (top_)
            top_ = top_->below;
    }

private:
    struct Node {
        Style style;
        std::shared_ptr<Node> below;
    };
    // Frees the nodes no other copy holds one by one: a node freeing the one
    // below it would recurse once per nested tag.
    void Release()
    {
        while (top_ && top_.use_count() == 1) {
            std::shared_ptr<Node> below = std::move(top_->below);
            top_ = std::move(below);
        }
        top_.reset();
    }
    std::shared_ptr<Node> top_;
};

struct State {
    Style style;
    std::map<std::string, SavedStyles> saved;  // by tag name: what its opening tags changed
    int links = 0;
};

struct LineInfo {
    int width = 0, height = 0, sub = 0, sup = 0;
    int ruleGap = 0;  // room below the text for a rule
    Align align = Align::Left;
    int indent = 0;
    int textShift = 0;  // how far text moves up against a tall picture
};

struct Metrics {
    float pad = 0;  // the measuring call's margin on both sides together
    int lineHeight = 0;
};

class Renderer {
public:
    Renderer(const MarkupParams& p, MarkupResult& r) : p_(p), r_(r) {}

    bool Run()
    {
        r_ = MarkupResult();
        text_ = LineBreaksToBR(RemoveFieldTagMarkers(p_.Text));
        lastClose_ = text_.rfind('>');
        State state;
        state.style.font = p_.Font;
        const int baseHeight = Measure(p_.Font).lineHeight;
        long long y = p_.R.Top, measured = 0;
        int maxWidth = 0;
        bool drawing = !p_.CheckOnly;
        size_t pos = 0;
        do {
            State trial = state;
            size_t trialPos = pos;
            const LineInfo line = Line(trial, trialPos, nullptr);
            const long long spacing = trialPos < text_.size() ? p_.LineSpacing : 0;
            long long x = p_.R.Left;
            const long long freeWidth = (long long)p_.R.Right - p_.R.Left - line.width;
            if (line.align == Align::Right)
                x = (long long)p_.R.Right - line.width;
            else if (line.align == Align::Center && freeWidth > 0)
                x += freeWidth / 2;
            x += line.indent;
            Place place{Clamped(x), Clamped(y), line, drawing};
            if (drawing)
                ParagraphBackground(state.style, p_.R.Left, place.top, line.height);
            Line(state, pos, &place);
            const long long step = (long long)line.height + line.ruleGap + spacing + line.sub + line.sup;
            y = std::min<long long>(y + step, INT32_MAX);
            measured = std::min<long long>(measured + step, INT32_MAX - 2);
            maxWidth = std::max(maxWidth, Clamped((long long)line.width + line.indent));
            if (y + line.height > p_.R.Bottom)
                drawing = false;
        } while (pos < text_.size());
        r_.XSize = maxWidth;
        r_.YSize = int(std::max<long long>(measured, baseHeight)) + 2;
        return r_.MouseLink >= 0;
    }

private:
    struct Place {
        int x, top;
        LineInfo line;
        bool draw;
    };

    // A paragraph's colour or gradient behind its line, from x to the right edge.
    void ParagraphBackground(const Style& s, int x, int top, int height)
    {
        if (s.paraBackground == kMarkupNoColor || height <= 0 || x >= p_.R.Right)
            return;
        const TGPRectF area{float(x), float(top), float(p_.R.Right - x), float(height)};
        if (s.paraBackgroundTo != kMarkupNoColor) {
            TGPLinearGradientBrush brush(area, MakeColor(255, s.paraBackground), MakeColor(255, s.paraBackgroundTo),
                                         LinearGradientModeHorizontal);
            p_.Graphics->FillRectangle(&brush, area);
        } else {
            TGPSolidBrush brush(MakeColor(255, s.paraBackground));
            p_.Graphics->FillRectangle(&brush, area);
        }
    }

    static std::string FontKey(const TFont& font)
    {
        return font.Name() + "/" + std::to_string(font.Height()) + "/" + std::to_string(font.Style());
    }

    Metrics Measure(const TFont& font)
    {
        const std::string key = FontKey(font);
        if (const auto it = metrics_.find(key); it != metrics_.end())
            return it->second;
        Metrics m;
        m.pad = 2 * RawWidth("x", font) - RawWidth("xx", font);
        m.lineHeight = p_.Graphics->TextHeight("gh", font);
        return metrics_[key] = m;
    }

    float RawWidth(const std::string& text, const TFont& font)
    {
        std::unique_ptr<TGPFont> gpFont(p_.Graphics->MakeFont(font));
        TGPStringFormat format(StringFormatFlagsMeasureTrailingSpaces | StringFormatFlagsNoWrap);
        TGPRectF box;
        p_.Graphics->MeasureString(ToUtf16(text), -1, gpFont.get(),
                                   TGPRectF{0, 0, 100000, 100000}, &format, &box);
        return box.Width;
    }

    int Width(const std::string& text, const TFont& font)
    {
        if (text.empty())
            return 0;
        // Every line is measured before it is placed: the second time is a
        // lookup rather than another text layout.
        std::string key = FontKey(font);
        key += '\0';
        key += text;
        if (const auto it = widths_.find(key); it != widths_.end())
            return it->second;
        const float width = RawWidth(text, font) - Measure(font).pad;
        return widths_[key] = std::isfinite(width) ? Clamped(std::llround(width)) : kMaxExtent;
    }

    void DrawPiece(const std::string& text, int x, int y, int w, int h, const Style& s)
    {
        TGPGraphics& g = *p_.Graphics;
        std::unique_ptr<TGPFont> font(g.MakeFont(s.font));
        TGPStringFormat format(StringFormatFlagsMeasureTrailingSpaces | StringFormatFlagsNoWrap);
        const std::u16string wide = ToUtf16(text);
        const float left = float(x) - Measure(s.font).pad / 2;
        if (s.shadow) {
            TGPSolidBrush shadow(MakeColor(255, p_.ShadowColor));
            g.DrawString(wide, -1, font.get(),
                         TGPRectF{left + p_.ShadowOffset, float(y + p_.ShadowOffset), float(w) + 1000, float(h)},
                         &format, &shadow);
        }
        if (s.background != kMarkupNoColor) {
            TGPSolidBrush ground(MakeColor(255, s.background));
            g.FillRectangle(&ground, x, y, w, h);
        }
        const TColor colour = s.blink && !p_.BlinkOn ? p_.BlinkColor : s.font.Color();
        TGPSolidBrush brush(MakeColor(255, colour));
        g.DrawString(wide, -1, font.get(), TGPRectF{left, float(y), float(w) + 1000, float(h)}, &format, &brush);
        if (s.error) {
            TGPPen pen(MakeColor(255, colors::clRed), 1.0f);
            // Only the steps inside the rectangle: a piece may be far wider.
            std::vector<TGPPointF> zigzag;
            const int first = std::max(0, p_.R.Left - x) & ~1, last = std::min(w, p_.R.Right - x + 2);
            for (int i = first; i <= last; i += 2)
                zigzag.push_back({float(x + i), float(y + h - ((i / 2) % 2 ? 2 : 0))});
            for (size_t i = 1; i < zigzag.size(); ++i)
                g.DrawLine(&pen, zigzag[i - 1].X, zigzag[i - 1].Y, zigzag[i].X, zigzag[i].Y);
        }
    }

    bool Hit(int x, int y, int w, int h) const
    {
        return p_.XPos >= x && p_.XPos < x + w && p_.YPos >= y && p_.YPos < y + h;
    }

    // Lays out one line from pos. Without a place it only measures; with one
    // it hit-tests, collects the visible text and draws when asked.
    LineInfo Line(State& st, size_t& pos, Place* place)
    {
        LineInfo info;
        info.align = st.style.align;
        info.indent = st.style.indent;
        const int x0 = place ? place->x : Clamped((long long)p_.R.Left + st.style.indent);
        const int room = Clamped((long long)p_.R.Right - p_.R.Left - st.style.indent);
        int x = x0;
        bool endsInSpace = false;  // the text placed on the line so far
        auto pieceTop = [&](int h, const Style& s) {
            int top = place->top + place->line.height - h - place->line.textShift;
            if (s.sub)
                top += h / 2;
            if (s.sup)
                top -= h / 2;
            return top + place->line.sup;
        };
        while (pos < text_.size()) {
            if (IsTagStart(text_, pos, lastClose_)) {
                const size_t end = TagEnd(text_, pos);
                const std::string tag = text_.substr(pos + 1, end - pos - 1);
                pos = end + 1;
                if (Tag(st, tag, info, x, x0, place))
                    break;
                continue;
            }
            // A piece: up to the next tag, or with word wrap through the next space.
            size_t stop = pos;
            while (stop < text_.size() && !IsTagStart(text_, stop, lastClose_)) {
                ++stop;
                if (p_.WordWrap && text_[stop - 1] == ' ')
                    break;
            }
            const std::string piece = DecodeEntities(text_.substr(pos, stop - pos));
            if (st.style.hidden) {
                pos = stop;
                continue;
            }
            const int w = Width(piece, st.style.font);
            const int h = Measure(st.style.font).lineHeight;
            if (p_.WordWrap && (x - x0) + w > room && w <= room && endsInSpace)
                break;  // the piece starts the next line
            pos = stop;
            info.height = std::max(info.height, h);
            if (st.style.sub)
                info.sub = std::max(info.sub, h / 2);
            if (st.style.sup)
                info.sup = std::max(info.sup, h / 2);
            if (place) {
                const int top = pieceTop(h, st.style);
                if (st.style.inLink && Hit(x, top, w, h)) {
                    r_.MouseLink = st.style.link;
                    r_.Anchor = st.style.linkValue;
                    r_.HoverRect = TRect{x, top, x + w, top + h};
                }
                r_.StrippedText += piece;
                if (place->draw)
                    DrawPiece(piece, x, top, w, h, st.style);
            }
            if (!piece.empty())
                endsInSpace = piece.back() == ' ';
            x = Clamped((long long)x + w);
        }
        info.width = std::max(info.width, x - x0);
        if (place)
            r_.HyperLinks = st.links;
        return info;
    }

    // Handles a tag; true when it ends the line.
    bool Tag(State& st, const std::string& tag, LineInfo& info, int& x, int x0, Place* place)
    {
        const bool closing = !tag.empty() && tag[0] == '/';
        size_t n = closing ? 1 : 0;
        std::string name;
        while (n < tag.size() && std::isalpha(static_cast<unsigned char>(tag[n])))
            name += Upper(tag[n++]);
        Style& s = st.style;
        auto open = [&] { st.saved[name].Push(s); };
        auto restore = [&](auto&& fields) {
            const auto it = st.saved.find(name);
            if (it != st.saved.end() && it->second.Top()) {
                fields(*it->second.Top());
                it->second.Pop();
            }
        };
        auto setStyle = [&](unsigned bit) {
            open();
            s.font.SetStyle(s.font.Style() | bit);
        };
        if (closing) {
            if (name == "B" || name == "I" || name == "U" || name == "S")
                restore([&](const Style& o) { s.font.SetStyle(o.font.Style()); });
            else if (name == "A")
                restore([&](const Style& o) {
                    s.font = o.font;
                    s.background = o.background;
                    s.inLink = false;
                });
            else if (name == "FONT" || name == "HI")
                restore([&](const Style& o) {
                    s.font = o.font;
                    s.background = o.background;
                });
            else if (name == "BLINK")
                restore([&](const Style& o) { s.blink = o.blink; });
            else if (name == "E")
                restore([&](const Style& o) { s.error = o.error; });
            else if (name == "SHAD")
                restore([&](const Style& o) { s.shadow = o.shadow; });
            else if (name == "SUB" || name == "SUP")
                restore([&](const Style& o) {
                    s.sub = o.sub;
                    s.sup = o.sup;
                });
            else if (name == "Z")
                restore([&](const Style& o) { s.hidden = o.hidden; });
            else if (name == "P") {
                restore([&](const Style& o) {
                    s.paraBackground = o.paraBackground;
                    s.paraBackgroundTo = o.paraBackgroundTo;
                    s.align = o.align;
                    s.indent = o.indent;
                });
                return true;
            } else if (name == "LI")
                return true;
            else if (name == "UL")
                s.listLevel = std::max(0, s.listLevel - 1);
            return false;
        }

        if (name == "B")
            setStyle(fsBold);
        else if (name == "I")
            setStyle(fsItalic);
        else if (name == "U")
            setStyle(fsUnderline);
        else if (name == "S")
            setStyle(fsStrikeOut);
        else if (name == "A") {
            open();
            s.inLink = true;
            s.link = st.links++;
            const size_t q1 = tag.find('"'), q2 = q1 == std::string::npos ? q1 : tag.find('"', q1 + 1);
            s.linkValue = q2 == std::string::npos ? std::string() : tag.substr(q1 + 1, q2 - q1 - 1);
            s.font.SetStyle(s.font.Style() | fsUnderline);
            s.font.SetColor(p_.URLColor);
            if (s.link == p_.HoverLink || s.link == p_.FocusLink) {
                if (p_.HoverFontColor != kMarkupNoColor)
                    s.font.SetColor(p_.HoverFontColor);
                if (p_.HoverColor != kMarkupNoColor)
                    s.background = p_.HoverColor;
            }
        } else if (name == "BLINK") {
            open();
            s.blink = true;
        } else if (name == "BODY") {
            const std::string from = Attribute(tag, "BGCOLOR"), to = Attribute(tag, "BGCOLORTO");
            if (place && place->draw && !from.empty()) {
                const TGPRectF area{float(p_.R.Left), float(p_.R.Top), float(p_.R.Width()), float(p_.R.Height())};
                if (!to.empty()) {
                    const std::string dir = UpperCase(Attribute(tag, "DIR"));
                    const bool horizontal = dir.empty() || dir == "H";
                    TGPLinearGradientBrush brush(area, MakeColor(255, TextToColor(from)), MakeColor(255, TextToColor(to)),
                                                 horizontal ? LinearGradientModeHorizontal : LinearGradientModeVertical);
                    p_.Graphics->FillRectangle(&brush, area);
                } else {
                    TGPSolidBrush brush(MakeColor(255, TextToColor(from)));
                    p_.Graphics->FillRectangle(&brush, area);
                }
            }
        } else if (name == "BR") {
            info.height = std::max(info.height, Measure(s.font).lineHeight);
            return true;
        } else if (name == "E") {
            open();
            s.error = true;
        } else if (name == "FONT") {
            open();
            const std::string face = Attribute(tag, "FACE"), colour = Attribute(tag, " COLOR"),
                              ground = Attribute(tag, "BGCOLOR"), size = Attribute(tag, "SIZE");
            if (!face.empty())
                s.font.SetName(face);
            if (!colour.empty())
                s.font.SetColor(TextToColor(colour));
            if (!ground.empty())
                s.background = TextToColor(ground);
            if (IPos("SIZE", tag) > 0) {
                const int value = IStrToInt(size);
                static const int steps[] = {8, 10, 12, 14, 16};
                const int points = value >= 1 && value <= 5 ? steps[value - 1] : std::clamp(value, 1, 500);
                s.font.SetSize(std::max(1, int(std::lround(points * p_.Resolution))));
            }
        } else if (name == "HI") {
            open();
            s.background = colors::clHighlight;
            s.font.SetColor(colors::clHighlightText);
        } else if (name == "HR") {
            // The rule sits in a gap of its own below the line's text, so
            // that it never crosses the descenders.
            info.ruleGap = 4;
            if (place && place->draw) {
                TGPPen pen(MakeColor(255, colors::clBlack), 1.0f);
                const float y = float(place->top + place->line.height + place->line.sub + place->line.sup + 2);
                p_.Graphics->DrawLine(&pen, float(p_.R.Left), y, float(p_.R.Right), y);
            }
            return true;
        } else if (name == "IMG") {
            Picture(st, tag, info, x, place);
        } else if (name == "LI") {
            x = Clamped(x + 12LL * std::max(0, s.listLevel - 1));
            const std::string bullet = s.listLevel % 2 ? "\u2022" : "o";
            const int w = Width(bullet, s.font), h = Measure(s.font).lineHeight;
            info.height = std::max(info.height, h);
            if (place && place->draw)
                DrawPiece(bullet, x, place->top + place->line.height - h - place->line.textShift + place->line.sup, w,
                          h, Style{s.font});
            x = Clamped(x + 12LL);
        } else if (name == "OFS") {
            const size_t q1 = tag.find('"'), q2 = q1 == std::string::npos ? q1 : tag.find('"', q1 + 1);
            if (q2 != std::string::npos)
                x = Clamped((long long)p_.R.Left + IStrToInt(tag.substr(q1 + 1, q2 - q1 - 1)));
        } else if (name == "P") {
            open();
            const std::string upper = UpperCase(tag);
            if (upper.find("RIGHT") != std::string::npos)
                s.align = Align::Right;
            else if (upper.find("CENTER") != std::string::npos)
                s.align = Align::Center;
            else if (upper.find("LEFT") != std::string::npos)
                s.align = Align::Left;
            if (IPos("INDENT", tag) > 0)
                s.indent = Clamped(IStrToInt(Attribute(tag, "INDENT")));
            const std::string ground = Attribute(tag, "BGCOLOR"), groundTo = Attribute(tag, "BGCOLORTO");
            if (!ground.empty())
                s.paraBackground = TextToColor(ground);
            if (!groundTo.empty())
                s.paraBackgroundTo = TextToColor(groundTo);
            if (place && place->draw && !ground.empty())
                ParagraphBackground(s, x, place->top, place->line.height);
            if (x == x0) {  // the paragraph starts this line
                info.align = s.align;
                info.indent = s.indent;
            }
        } else if (name == "SHAD") {
            open();
            s.shadow = true;
        } else if (name == "SUB" && tag == "SUB") {
            open();
            s.sub = true;
        } else if (name == "SUP" && tag == "SUP") {
            open();
            s.sup = true;
        } else if (name == "UL") {
            s.listLevel = std::min(s.listLevel + 1, kMaxListLevel);
            return true;
        } else if (name == "Z") {
            open();
            s.hidden = true;
        }
        return false;
    }

    void Picture(State& st, const std::string& tag, LineInfo& info, int& x, Place* place)
    {
        const std::string src = Attribute(tag, "SRC");
        QImage image;
        TGDIPPicture* picture = nullptr;
        const size_t colon = src.find(':');
        const std::string kind = UpperCase(src.substr(0, colon == std::string::npos ? 0 : colon + 1));
        if (kind == "IDX:") {
            if (p_.Images)
                image = p_.Images->Image(IStrToInt(src.substr(4)));
        } else if (kind == "SSYS:" || kind == "LSYS:") {
            const std::string path = src.substr(kind.size());
            const QFileInfo file(QString::fromStdString(path));
            QAbstractFileIconProvider provider;
            const QIcon icon = file.exists() ? provider.icon(file)
                                             : provider.icon(QFileInfo(file.fileName()));
            const int side = kind == "SSYS:" ? 16 : 32;
            image = icon.pixmap(side, side).toImage();
        } else if (colon == std::string::npos && p_.Container) {
            picture = p_.Container->FindPicture(src);
            if (picture && picture->Empty())
                picture = nullptr;
        }
        if (image.isNull() && !picture)
            return;  // a missing picture takes no room
        int w = picture ? picture->Width() : image.width();
        int h = picture ? picture->Height() : image.height();
        if (IPos("WIDTH", tag) > 0)
            w = IStrToInt(Attribute(tag, "WIDTH"));
        if (IPos("HEIGHT", tag) > 0)
            h = IStrToInt(Attribute(tag, "HEIGHT"));
        w = std::clamp(w, 0, kMaxExtent);
        h = std::clamp(h, 0, kMaxExtent);
        const int textHeight = Measure(st.style.font).lineHeight;
        const bool wrap = IPos("WRAP", tag) > 0;
        if (!wrap) {
            info.height = std::max(info.height, h);
            const std::string align = UpperCase(Attribute(tag, "ALIGN"));
            if (align == "TOP")
                info.textShift = std::max(0, info.height - textHeight);
            else if (align == "MIDDLE")
                info.textShift = std::max(0, info.height - textHeight) / 2;
        } else {
            info.height = std::max(info.height, textHeight);
            info.textShift = 0;
        }
        if (place) {
            const int top = place->top + (wrap ? 0 : place->line.height - h) + place->line.sup;
            if (Hit(x, top, w, h)) {
                r_.Hint = Attribute(tag, "ALT");
                if (st.style.inLink) {
                    r_.MouseLink = st.style.link;
                    r_.Anchor = st.style.linkValue;
                }
            }
            if (place->draw) {
                if (picture) {
                    picture->GDIPDraw(p_.Graphics, TRect{x, top, x + w, top + h});
                } else if (QPainter* painter = p_.Graphics->GetHDC()) {
                    painter->drawImage(QRect(x, top, w, h), image);
                    p_.Graphics->ReleaseHDC(painter);
                }
            }
        }
        x = Clamped((long long)x + w);
    }

    const MarkupParams& p_;
    MarkupResult& r_;
    std::string text_;
    size_t lastClose_ = std::string::npos;
    std::map<std::string, Metrics> metrics_;
    std::unordered_map<std::string, int> widths_;
};

}  // namespace

bool RenderMarkup(const MarkupParams& params, MarkupResult& result)
{
    if (!params.Graphics) {
        result = MarkupResult();
        return false;
    }
    return Renderer(params, result).Run();
}
