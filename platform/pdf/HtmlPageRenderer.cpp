#include "platform/pdf/HtmlPageRenderer.h"

#include <litehtml.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

#include <QString>

#include "platform/pdf/PdfImage.h"
#include "platform/rtl/RegularFile.h"

namespace {

// The layout engine brings no default style sheet; without one every element
// is inline.
const char* const kMasterCss = R"CSS(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset,
h1, h2, h3, h4, h5, h6, noframes, ol, p, ul, center, dir, hr, menu, pre, header,
footer, nav, section, article, aside, main, figure, figcaption { display: block; }
head, style, script, title, meta, link, base, noscript, template { display: none; }
body { margin: 0; }
br { display: block; }
li { display: list-item; }
ul, ol, menu, dir { margin-top: 1em; margin-bottom: 1em; padding-left: 40px; }
ul { list-style-type: disc; }
ol { list-style-type: decimal; }
ul ul, ol ul { list-style-type: circle; }
p, blockquote, dl, pre { margin-top: 1em; margin-bottom: 1em; }
blockquote { margin-left: 40px; margin-right: 40px; }
dd { margin-left: 40px; }
h1 { font-size: 2em; margin: 0.67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: 0.83em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: 1em 0; font-weight: bold; }
h4 { margin: 1.33em 0; font-weight: bold; }
h5 { font-size: 0.83em; margin: 1.67em 0; font-weight: bold; }
h6 { font-size: 0.67em; margin: 2.33em 0; font-weight: bold; }
b, strong, th { font-weight: bold; }
i, em, cite, var, address { font-style: italic; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; }
small { font-size: 0.83em; }
big { font-size: 1.17em; }
sub { vertical-align: sub; font-size: 0.83em; }
sup { vertical-align: super; font-size: 0.83em; }
center { text-align: center; }
a { color: #0000ee; text-decoration: underline; }
hr { border: 1px inset; margin: 0.5em auto; height: 0; }
img { display: inline-block; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
col { display: table-column; }
colgroup { display: table-column-group; }
)CSS";

// A page's style sheets come with received templates: one that imports
// itself, or a chain of them, must end, and a sheet is text of modest size.
constexpr int kMaxImportDepth = 8;
constexpr int kMaxImportsPerPage = 64;
constexpr int64_t kMaxStyleSheetBytes = int64_t{1} << 20;
constexpr int64_t kMaxImportedBytesPerPage = int64_t{4} << 20;

// The layout engine and fontconfig are not safe for concurrent use.
std::mutex& EngineMutex()
{
    static std::mutex mutex;
    return mutex;
}

litehtml::context& MasterContext()
{
    static litehtml::context* ctx = [] {
        auto* c = new litehtml::context;
        c->load_master_stylesheet(kMasterCss);
        return c;
    }();
    return *ctx;
}

PangoFontMap* FontMap()
{
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

std::string PercentDecode(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string FileUri(const std::string& path)
{
    std::string out = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c))
            out.push_back(static_cast<char>(c));
        else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

bool HasScheme(const std::string& s)
{
    const auto colon = s.find(':');
    if (colon == std::string::npos || colon < 2)
        return false; // "C:" style drive letters are not schemes
    for (size_t i = 0; i < colon; ++i)
        if (!std::isalnum(static_cast<unsigned char>(s[i])) && !std::strchr("+-.", s[i]))
            return false;
    return true;
}

struct Font {
    PangoFontDescription* desc = nullptr;
    unsigned decoration = 0;
};

class CairoContainer final : public litehtml::document_container {
public:
    CairoContainer(std::string base, std::string root, int clientWidth, int clientHeight, int quality,
        PdfImageCache& images)
        : base_(std::move(base)), root_(std::move(root)), width_(clientWidth), height_(clientHeight),
          quality_(quality), images_(images)
    {
        pango_ = pango_font_map_create_context(FontMap());
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(pango_, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(pango_, 96);
    }
    ~CairoContainer() { g_object_unref(pango_); }

    void SetCairo(cairo_t* cr) { cr_ = cr; }

    // The first picture file of the page that exists but could not be read
    // (damaged, or too large to decode); empty when there is none.
    const std::string& Refused() const { return refused_; }

    cairo_surface_t* Image(const std::string& path, QSize* naturalSize = nullptr)
    {
        cairo_surface_t* surface = images_.Get(path, quality_, naturalSize);
        std::error_code error;
        if (!surface && refused_.empty() && !path.empty() && std::filesystem::is_regular_file(path, error))
            refused_ = path;
        return surface;
    }

    // The folder that addresses of a sheet or of the page resolve against:
    // an imported sheet's own folder, else the page's base.
    std::string BaseOf(const std::string& baseurl) const
    {
        if (baseurl.empty())
            return base_;
        const auto sheet = sheets_.find(baseurl);
        return sheet != sheets_.end() ? sheet->second.folder : baseurl;
    }

    // The file an address of the page names, or empty when it names none
    // inside the folder being drawn.
    std::string Resolve(const char* src, const char* baseurl) const
    {
        if (!src || !*src)
            return {};
        return ConfinedPageFile(src, BaseOf(baseurl ? baseurl : ""), root_);
    }

    // Where a link of the page leads; links are not read, so they may lead
    // anywhere.
    std::string LinkTarget(const char* href) const { return ResolvePageAddress(href, base_); }

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
        litehtml::font_style italic, unsigned int decoration, litehtml::font_metrics* fm) override
    {
        std::string families;
        for (const char* p = faceName ? faceName : ""; *p; ++p)
            if (*p != '"' && *p != '\'')
                families.push_back(*p);
        auto* font = new Font;
        font->desc = pango_font_description_new();
        pango_font_description_set_family(font->desc, families.empty() ? "sans-serif" : families.c_str());
        pango_font_description_set_absolute_size(font->desc, std::max(size, 1) * PANGO_SCALE);
        pango_font_description_set_weight(font->desc, static_cast<PangoWeight>(std::clamp(weight, 100, 1000)));
        pango_font_description_set_style(
            font->desc, italic == litehtml::fontStyleItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        font->decoration = decoration;
        if (fm) {
            PangoFontMetrics* m = pango_context_get_metrics(pango_, font->desc, nullptr);
            fm->ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(m));
            fm->descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(m));
            fm->height = fm->ascent + fm->descent;
            fm->x_height = std::max(1, fm->ascent / 2);
            fm->draw_spaces = decoration != 0;
            pango_font_metrics_unref(m);
            PangoLayout* layout = pango_layout_new(pango_);
            pango_layout_set_font_description(layout, font->desc);
            pango_layout_set_text(layout, "x", 1);
            PangoRectangle ink;
            pango_layout_get_pixel_extents(layout, &ink, nullptr);
            if (ink.height > 0)
                fm->x_height = ink.height;
            g_object_unref(layout);
        }
        return reinterpret_cast<litehtml::uint_ptr>(font);
    }

    void delete_font(litehtml::uint_ptr h) override
    {
        auto* font = reinterpret_cast<Font*>(h);
        if (font) {
            pango_font_description_free(font->desc);
            delete font;
        }
    }

    PangoLayout* MakeLayout(const char* text, Font* font)
    {
        PangoLayout* layout = pango_layout_new(pango_);
        pango_layout_set_font_description(layout, font->desc);
        pango_layout_set_text(layout, text, -1);
        return layout;
    }

    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr h) override
    {
        auto* font = reinterpret_cast<Font*>(h);
        if (!font || !text)
            return 0;
        PangoLayout* layout = MakeLayout(text, font);
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        g_object_unref(layout);
        return static_cast<int>(std::ceil(logical.width / double(PANGO_SCALE)));
    }

    void SetColor(const litehtml::web_color& c)
    {
        cairo_set_source_rgba(cr_, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
    }

    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr h, litehtml::web_color color,
        const litehtml::position& pos) override
    {
        auto* font = reinterpret_cast<Font*>(h);
        if (!font || !text || !cr_)
            return;
        PangoLayout* layout = MakeLayout(text, font);
        if (font->decoration) {
            PangoAttrList* attrs = pango_attr_list_new();
            if (font->decoration & litehtml::font_decoration_underline)
                pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
            if (font->decoration & litehtml::font_decoration_linethrough)
                pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
            if (font->decoration & litehtml::font_decoration_overline)
                pango_attr_list_insert(attrs, pango_attr_overline_new(PANGO_OVERLINE_SINGLE));
            pango_layout_set_attributes(layout, attrs);
            pango_attr_list_unref(attrs);
        }
        PangoFontMetrics* m = pango_context_get_metrics(pango_, font->desc, nullptr);
        const int descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(m));
        pango_font_metrics_unref(m);
        const double baseline = pos.bottom() - descent;
        cairo_save(cr_);
        SetColor(color);
        cairo_move_to(cr_, pos.left(), baseline - pango_layout_get_baseline(layout) / double(PANGO_SCALE));
        pango_cairo_show_layout(cr_, layout);
        cairo_restore(cr_);
        g_object_unref(layout);
    }

    int pt_to_px(int pt) const override { return static_cast<int>(std::lround(pt * 96.0 / 72.0)); }
    int get_default_font_size() const override { return 16; }
    const litehtml::tchar_t* get_default_font_name() const override { return "sans-serif"; }

    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override
    {
        if (!cr_)
            return;
        if (!marker.image.empty()) {
            if (cairo_surface_t* s = Image(Resolve(marker.image.c_str(), marker.baseurl)))
                PaintImage(s, marker.pos, marker.pos, false, false);
            return;
        }
        const auto& p = marker.pos;
        cairo_save(cr_);
        SetColor(marker.color);
        switch (marker.marker_type) {
        case litehtml::list_style_type_circle:
            cairo_set_line_width(cr_, 1);
            cairo_arc(cr_, p.x + p.width / 2.0, p.y + p.height / 2.0, std::max(0.5, p.width / 2.0 - 0.5), 0, 2 * M_PI);
            cairo_stroke(cr_);
            break;
        case litehtml::list_style_type_disc:
            cairo_arc(cr_, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0, 0, 2 * M_PI);
            cairo_fill(cr_);
            break;
        case litehtml::list_style_type_square:
            cairo_rectangle(cr_, p.x, p.y, p.width, p.height);
            cairo_fill(cr_);
            break;
        case litehtml::list_style_type_none:
            break;
        default:
            if (marker.font) {
                const std::string text = std::to_string(marker.index) + ".";
                const int w = text_width(text.c_str(), marker.font);
                litehtml::position at(p.x - w + p.width, p.y, w, p.height);
                cairo_restore(cr_);
                draw_text(0, text.c_str(), marker.font, marker.color, at);
                return;
            }
            break;
        }
        cairo_restore(cr_);
    }

    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool) override
    {
        Image(Resolve(src, baseurl));
    }

    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, litehtml::size& sz) override
    {
        sz.width = sz.height = 0;
        QSize natural;
        if (Image(Resolve(src, baseurl), &natural)) {
            sz.width = natural.width();
            sz.height = natural.height();
        }
    }

    // Paints the picture scaled to dest's size at dest's origin, repeated
    // along the flagged axes, inside clip.
    void PaintImage(cairo_surface_t* surface, const litehtml::position& dest, const litehtml::position& clip,
        bool repeatX, bool repeatY)
    {
        const int iw = cairo_image_surface_get_width(surface), ih = cairo_image_surface_get_height(surface);
        if (iw <= 0 || ih <= 0 || dest.width <= 0 || dest.height <= 0)
            return;
        cairo_save(cr_);
        cairo_rectangle(cr_, clip.x, clip.y, clip.width, clip.height);
        cairo_clip(cr_);
        if (!repeatX) {
            cairo_rectangle(cr_, dest.x, -1e6, dest.width, 2e6);
            cairo_clip(cr_);
        }
        if (!repeatY) {
            cairo_rectangle(cr_, -1e6, dest.y, 2e6, dest.height);
            cairo_clip(cr_);
        }
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
        cairo_matrix_t m;
        cairo_matrix_init_scale(&m, double(iw) / dest.width, double(ih) / dest.height);
        cairo_matrix_translate(&m, -dest.x, -dest.y);
        cairo_pattern_set_matrix(pattern, &m);
        cairo_pattern_set_extend(pattern, repeatX || repeatY ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_NONE);
        cairo_set_source(cr_, pattern);
        cairo_paint(cr_);
        cairo_pattern_destroy(pattern);
        cairo_restore(cr_);
    }

    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override
    {
        if (!cr_)
            return;
        if (bg.color.alpha > 0) {
            cairo_save(cr_);
            SetColor(bg.color);
            cairo_rectangle(cr_, bg.clip_box.x, bg.clip_box.y, bg.clip_box.width, bg.clip_box.height);
            cairo_fill(cr_);
            cairo_restore(cr_);
        }
        if (bg.image.empty())
            return;
        QSize natural;
        cairo_surface_t* surface = Image(Resolve(bg.image.c_str(), bg.baseurl.c_str()), &natural);
        if (!surface)
            return;
        int w = bg.image_size.width, h = bg.image_size.height;
        if (w <= 0 || h <= 0) {
            w = natural.width();
            h = natural.height();
        }
        // litehtml hands over the image position already in page coordinates.
        const litehtml::position dest(bg.position_x, bg.position_y, w, h);
        const bool rx = bg.repeat == litehtml::background_repeat_repeat || bg.repeat == litehtml::background_repeat_repeat_x;
        const bool ry = bg.repeat == litehtml::background_repeat_repeat || bg.repeat == litehtml::background_repeat_repeat_y;
        PaintImage(surface, dest, bg.clip_box, rx, ry);
    }

    void draw_borders(litehtml::uint_ptr, const litehtml::borders& b, const litehtml::position& p, bool) override
    {
        if (!cr_)
            return;
        auto side = [&](const litehtml::border& border, double x, double y, double w, double h) {
            if (border.width <= 0 || border.style == litehtml::border_style_none
                || border.style == litehtml::border_style_hidden || border.color.alpha == 0)
                return;
            cairo_save(cr_);
            SetColor(border.color);
            cairo_rectangle(cr_, x, y, w, h);
            cairo_fill(cr_);
            cairo_restore(cr_);
        };
        side(b.top, p.x, p.y, p.width, b.top.width);
        side(b.bottom, p.x, p.bottom() - b.bottom.width, p.width, b.bottom.width);
        side(b.left, p.x, p.y, b.left.width, p.height);
        side(b.right, p.right() - b.right.width, p.y, b.right.width, p.height);
    }

    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t* base) override
    {
        if (base && *base)
            base_ = NormaliseBaseFolder(ResolvePageAddress(base, base_));
    }
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}

    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override
    {
        QString s = QString::fromUtf8(text.c_str());
        if (tt == litehtml::text_transform_uppercase)
            s = s.toUpper();
        else if (tt == litehtml::text_transform_lowercase)
            s = s.toLower();
        else if (tt == litehtml::text_transform_capitalize && !s.isEmpty())
            s[0] = s[0].toUpper();
        text = s.toStdString();
    }

    // The layout engine parses an imported sheet right away and hands the
    // base address set here to the sheet's own imports and pictures; each
    // sheet gets a base address of its own, by which it is known again with
    // its depth and the sheets that imported it.
    void import_css(litehtml::tstring& text, const litehtml::tstring& url, litehtml::tstring& baseurl) override
    {
        text.clear();
        const auto parent = sheets_.find(baseurl);
        const Sheet* from = parent != sheets_.end() ? &parent->second : nullptr;
        const int depth = from ? from->depth + 1 : 1;
        if (depth > kMaxImportDepth || imports_ >= kMaxImportsPerPage)
            return;
        ++imports_;
        const std::string path = ConfinedPageFile(url, BaseOf(baseurl), root_);
        if (path.empty())
            return;
        std::vector<std::string> chain = from ? from->chain : std::vector<std::string>();
        if (std::find(chain.begin(), chain.end(), path) != chain.end())
            return;
        std::string bytes;
        if (ReadRegularFile(path, kMaxStyleSheetBytes, bytes) != ReadResult::Read
            || importedBytes_ + int64_t(bytes.size()) > kMaxImportedBytesPerPage)
            return;
        importedBytes_ += int64_t(bytes.size());
        chain.push_back(path);
        const std::string token = "velmora-sheet:" + std::to_string(sheets_.size() + 1);
        sheets_[token] = Sheet{std::filesystem::path(path).parent_path().string() + "/", depth, std::move(chain)};
        text = std::move(bytes);
        baseurl = token;
    }

    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool, bool) override
    {
        if (!cr_)
            return;
        cairo_save(cr_);
        cairo_rectangle(cr_, pos.x, pos.y, pos.width, pos.height);
        cairo_clip(cr_);
        ++clips_;
    }
    void del_clip() override
    {
        if (cr_ && clips_ > 0) {
            --clips_;
            cairo_restore(cr_);
        }
    }

    void get_client_rect(litehtml::position& client) const override
    {
        client = litehtml::position(0, 0, width_, height_);
    }

    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t*, const litehtml::string_map&,
        const std::shared_ptr<litehtml::document>&) override
    {
        return nullptr;
    }

    void get_media_features(litehtml::media_features& media) const override
    {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = width_;
        media.height = media.device_height = height_;
        media.color = 8;
        media.monochrome = 0;
        media.color_index = 256;
        media.resolution = 96;
    }

    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override
    {
        language = "en";
        culture = "";
    }

    const std::string& Base() const { return base_; }

private:
    struct Sheet {
        std::string folder;
        int depth = 0;
        std::vector<std::string> chain; // the files from the first import down to this one
    };

    std::string base_;
    const std::string root_;
    std::map<std::string, Sheet> sheets_;
    int imports_ = 0;
    int64_t importedBytes_ = 0;
    int width_, height_;
    int quality_;
    PdfImageCache& images_;
    PangoContext* pango_ = nullptr;
    cairo_t* cr_ = nullptr;
    int clips_ = 0;
    std::string refused_;
};

// The area an element covers: its own box, else the union of its
// descendants' (inline anchors have no box of their own).
bool CoveredArea(const litehtml::element::ptr& el, litehtml::position& out)
{
    litehtml::position p = el->get_placement();
    if (p.width > 0 && p.height > 0) {
        out = p;
        return true;
    }
    bool any = false;
    for (size_t i = 0; i < el->get_children_count(); ++i) {
        litehtml::position c;
        if (CoveredArea(el->get_child(static_cast<int>(i)), c)) {
            if (!any)
                out = c;
            else {
                const int l = std::min(out.left(), c.left()), t = std::min(out.top(), c.top());
                const int r = std::max(out.right(), c.right()), b = std::max(out.bottom(), c.bottom());
                out = litehtml::position(l, t, r - l, b - t);
            }
            any = true;
        }
    }
    return any;
}

void AddLinks(cairo_t* cr, const litehtml::element::ptr& el, const CairoContainer& container)
{
    const char* tag = el->get_tagName();
    if (tag && std::strcmp(tag, "a") == 0) {
        const char* href = el->get_attr("href");
        litehtml::position area;
        if (href && *href && *href != '#' && std::strncmp(href, "javascript:", 11) != 0 && CoveredArea(el, area)) {
            std::string target = container.LinkTarget(href);
            if (!HasScheme(target))
                target = FileUri(target);
            std::string escaped;
            for (char c : target) {
                if (c == '\'' || c == '\\')
                    escaped.push_back('\\');
                escaped.push_back(c);
            }
            char rect[128];
            std::snprintf(rect, sizeof rect, " rect=[%d %d %d %d]", area.x, area.y, area.width, area.height);
            const std::string attrs = "uri='" + escaped + "'" + rect;
            cairo_tag_begin(cr, CAIRO_TAG_LINK, attrs.c_str());
            cairo_tag_end(cr, CAIRO_TAG_LINK);
        }
    }
    for (size_t i = 0; i < el->get_children_count(); ++i)
        AddLinks(cr, el->get_child(static_cast<int>(i)), container);
}

} // namespace

std::string NormaliseBaseFolder(const std::string& folder)
{
    std::string out = folder;
    std::replace(out.begin(), out.end(), '\\', '/');
    if (!out.empty() && out.back() != '/')
        out.push_back('/');
    return out;
}

std::string ResolvePageAddress(const std::string& address, const std::string& base)
{
    std::string a = address;
    std::replace(a.begin(), a.end(), '\\', '/');
    if (a.rfind("file://", 0) == 0)
        return PercentDecode(a.substr(7));
    if (HasScheme(a))
        return address;
    // Drop a fragment or query: they do not name another file.
    std::string suffix;
    if (const auto cut = a.find_first_of("#?"); cut != std::string::npos) {
        suffix = a.substr(cut);
        a.erase(cut);
    }
    a = PercentDecode(a);
    std::filesystem::path path(a);
    if (!path.is_absolute()) {
        std::string b = base;
        if (b.rfind("file://", 0) == 0)
            b = PercentDecode(b.substr(7));
        path = std::filesystem::path(NormaliseBaseFolder(b)) / path;
    }
    std::string resolved = path.lexically_normal().string();
    (void)suffix;
    return resolved;
}

std::string ConfinedPageFile(const std::string& address, const std::string& base, const std::string& root)
{
    if (address.empty() || root.empty() || address.find('\0') != std::string::npos)
        return {};
    std::string a = address;
    std::replace(a.begin(), a.end(), '\\', '/');
    if (a.front() == '/' || (HasScheme(a) && a.rfind("file://", 0) != 0))
        return {};
    // A "file:" URL comes back as it was written, ".." and all.
    const std::string resolved = std::filesystem::path(ResolvePageAddress(address, base)).lexically_normal().string();
    // A NUL from a percent escape would cut the name short when opened.
    if (resolved.find('\0') != std::string::npos)
        return {};
    const std::string top = NormaliseBaseFolder(std::filesystem::path(root).lexically_normal().string());
    if (resolved.size() <= top.size() || resolved.compare(0, top.size(), top) != 0)
        return {};
    return resolved;
}

std::string StripStyleCommentMarkers(const std::string& html)
{
    auto lower = html;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string out;
    out.reserve(html.size());
    size_t pos = 0;
    while (true) {
        size_t open = lower.find("<style", pos);
        if (open == std::string::npos)
            break;
        const size_t contentStart = lower.find('>', open);
        if (contentStart == std::string::npos)
            break;
        size_t close = lower.find("</style", contentStart);
        if (close == std::string::npos)
            close = html.size();
        out.append(html, pos, contentStart + 1 - pos);
        std::string content = html.substr(contentStart + 1, close - contentStart - 1);
        for (const char* marker : {"<!--", "-->"}) {
            for (size_t at = content.find(marker); at != std::string::npos; at = content.find(marker, at))
                content.replace(at, std::strlen(marker), " ");
        }
        out += content;
        pos = close;
    }
    out.append(html, pos, std::string::npos);
    return out;
}

HtmlDrawResult DrawHtmlPage(cairo_t* cr, const std::string& html, const std::string& baseFolder,
    const std::string& rootFolder, const HtmlDrawBox& box, bool shrinkToFit, int jpegQuality, PdfImageCache& images)
{
    HtmlDrawResult result;
    const int boxW = std::max(1, static_cast<int>(std::floor(box.width)));
    const int boxH = std::max(1, static_cast<int>(std::floor(box.height)));
    const std::string text = StripStyleCommentMarkers(html);

    std::lock_guard lock(EngineMutex());
    CairoContainer container(NormaliseBaseFolder(baseFolder), rootFolder, boxW, boxH, jpegQuality, images);
    litehtml::document::ptr doc = litehtml::document::createFromUTF8(text.c_str(), &container, &MasterContext());
    if (!doc) {
        result.error = "The page could not be parsed.";
        return result;
    }
    doc->render(boxW);
    // A picture missing from the page would go unnoticed in a document
    // that is then sent as complete; nothing is drawn.
    if (!container.Refused().empty()) {
        result.error = "The picture '" + container.Refused() + "' cannot be read.";
        return result;
    }
    result.layoutWidth = std::max(doc->width(), 0);
    result.layoutHeight = std::max(doc->height(), 0);
    if (shrinkToFit && (result.layoutWidth > boxW || result.layoutHeight > boxH))
        result.scale = std::min(double(boxW) / std::max(result.layoutWidth, 1),
            double(boxH) / std::max(result.layoutHeight, 1));

    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_clip(cr);
    cairo_translate(cr, box.x, box.y);
    cairo_scale(cr, result.scale, result.scale);
    container.SetCairo(cr);
    const int drawW = static_cast<int>(std::ceil(boxW / result.scale));
    const int drawH = static_cast<int>(std::ceil(boxH / result.scale));
    const litehtml::position clip(0, 0, std::max(drawW, result.layoutWidth), std::max(drawH, result.layoutHeight));
    doc->draw(reinterpret_cast<litehtml::uint_ptr>(cr), 0, 0, &clip);
    AddLinks(cr, doc->root(), container);
    container.SetCairo(nullptr);
    cairo_restore(cr);
    const cairo_status_t status = cairo_status(cr);
    if (status != CAIRO_STATUS_SUCCESS) {
        result.error = cairo_status_to_string(status);
        return result;
    }
    result.ok = true;
    return result;
}

