#include "controls/TSmoothImageListBoxSplitter.h"

#include "controls/IListBoxHost.h"
#include "platform/gdiplus/GpObjects.h"

namespace {

bool InCentreRow(TSmoothImageListBoxLocation l)
{
    return l == cpCenterLeft || l == cpCenterCenter || l == cpCenterRight;
}

enum class Column { Left, Centre, Right, None };

Column ColumnOf(TSmoothImageListBoxLocation l)
{
    switch (l) {
    case cpTopLeft: case cpCenterLeft: case cpBottomLeft: return Column::Left;
    case cpTopCenter: case cpCenterCenter: case cpBottomCenter: return Column::Centre;
    case cpTopRight: case cpCenterRight: case cpBottomRight: return Column::Right;
    default: return Column::None;
    }
}

}  // namespace

TSmoothImageListBoxLocation TurnLocation(TSmoothImageListBoxLocation location)
{
    switch (location) {
    case cpTopLeft: return cpTopRight;
    case cpTopCenter: return cpCenterRight;
    case cpTopRight: return cpBottomRight;
    case cpCenterLeft: return cpTopCenter;
    case cpCenterCenter: return cpCenterCenter;
    case cpCenterRight: return cpBottomCenter;
    case cpBottomLeft: return cpTopLeft;
    case cpBottomCenter: return cpCenterLeft;
    case cpBottomRight: return cpBottomLeft;
    case cpCustom: return cpCustom;
    }
    return location;
}

namespace {

std::vector<TSplitterPiece> AllPieces(TSmoothImageListBoxLocation textLocation,
                                      TSmoothImageListBoxLocation expanderLocation, float s0, float s1, float ts,
                                      float te, float es, float ee)
{
    using P = TSplitterPiece;
    const bool textCentre = InCentreRow(textLocation), expanderCentre = InCentreRow(expanderLocation);
    if (!textCentre) {
        if (!expanderCentre)
            return {P{s0, s1}};
        switch (expanderLocation) {
        case cpCenterLeft: return {P{ee, s1}};
        case cpCenterCenter: return {P{s0, es}, P{ee, s1}};
        default: return {P{s0, es}};
        }
    }
    switch (textLocation) {
    case cpCenterLeft:
        if (!expanderCentre)
            return {P{te, s1}};
        if (expanderLocation == cpCenterRight)
            return {P{te, es}};
        return {P{te, es}, P{ee, s1}};
    case cpCenterCenter:
        if (!expanderCentre)
            return {P{s0, ts}, P{te, s1}};
        switch (expanderLocation) {
        case cpCenterLeft: return {P{ee, ts}, P{te, s1}};
        case cpCenterCenter: return {P{s0, ts}, P{ee, s1}};
        default: return {P{s0, ts}, P{te, es}};
        }
    default:  // cpCenterRight
        if (!expanderCentre)
            return {P{s0, ts}, P{te, s1}};
        if (expanderLocation == cpCenterLeft)
            return {P{ee, ts}};
        return {P{s0, es}, P{ee, ts}};
    }
}

}  // namespace

std::vector<TSplitterPiece> SplitterPieces(TSmoothImageListBoxLocation textLocation,
                                           TSmoothImageListBoxLocation expanderLocation, float s0, float s1,
                                           float ts, float te, float es, float ee)
{
    std::vector<TSplitterPiece> pieces = AllPieces(textLocation, expanderLocation, s0, s1, ts, te, es, ee);
    // Where text or expander reach the cell's end, or each other, nothing is left.
    std::erase_if(pieces, [](const TSplitterPiece& p) { return p.End <= p.Start; });
    return pieces;
}

TSmoothImageListBoxSplitter::TSmoothImageListBoxSplitter(IListBoxHost* owner)
    : owner_(owner), fill_(std::make_unique<TGDIPFill>()), textFont_(std::make_unique<TFont>())
{
    fill_->OnChange = [this](TGDIPFill*) { FillChanged(); };
    textFont_->OnChange = [this] { TextFontChanged(); };
}

TSmoothImageListBoxSplitter::~TSmoothImageListBoxSplitter() = default;

void TSmoothImageListBoxSplitter::SetFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*fill_, value))
        Changed();
}

void TSmoothImageListBoxSplitter::SetTextFont(const TFont* value)
{
    if (value && value != textFont_.get()) {
        textFont_->Assign(*value);
        Changed();
    }
}

void TSmoothImageListBoxSplitter::Assign(const TSmoothImageListBoxSplitter& source)
{
    if (&source == this)
        return;
    fSpacing = source.fSpacing;
    fSize = source.fSize;
    AssignFillQuietly(*fill_, source.fill_.get());
    fTextLocation = source.fTextLocation;
    textFont_->Assign(*source.textFont_);
    fExpander = source.fExpander;
    fExpanderColor = source.fExpanderColor;
    fExpanderBorderColor = source.fExpanderBorderColor;
    fExpanderDownColor = source.fExpanderDownColor;
    fExpanderHoverColor = source.fExpanderHoverColor;
    fExpanderSize = source.fExpanderSize;
    fExpanderShape = source.fExpanderShape;
    fExpanderLocation = source.fExpanderLocation;
    fExpanderLeft = source.fExpanderLeft;
    fExpanderTop = source.fExpanderTop;
    Changed();
}

void TSmoothImageListBoxSplitter::Changed()
{
    if (owner_)
        owner_->Changed();
}

std::optional<TGPRectF> TSmoothImageListBoxSplitter::GetRect(const TGPRectF& q) const
{
    const float s = float(fSpacing);
    const int rows = owner_->Rows(), columns = owner_->Columns();
    if (rows == 0)
        return TGPRectF{q.X + 2, q.Y - s / 2, q.Width - 4, q.Height + s};
    if (columns == 0)
        return TGPRectF{q.X - s / 2, q.Y + 2, q.Width + s, q.Height - 4};
    return std::nullopt;
}

TGPRectF TSmoothImageListBoxSplitter::GetExpanderRect(const TGPRectF& r) const
{
    TSmoothImageListBoxLocation location = fExpanderLocation;
    if (owner_->Columns() == 0)
        location = TurnLocation(location);
    const float size = float(fExpanderSize);
    if (location == cpCustom)
        return TGPRectF{float(fExpanderLeft), float(fExpanderTop), size, size};
    float x = 0, y = 0;
    GetLocationOffset(x, y, r, fExpanderSize, fExpanderSize, location);
    return TGPRectF{x, y, size, size};
}

void TSmoothImageListBoxSplitter::ExpanderTextRect(const TGPRectF& t, TGPRectF& r) const
{
    if (fTextLocation != fExpanderLocation)
        return;
    const int rows = owner_->Rows(), columns = owner_->Columns();
    const Column column = ColumnOf(fTextLocation);
    if (rows == 0) {
        switch (column) {
        case Column::Left: r.X = t.X + t.Width; break;
        case Column::Right: r.Width -= t.Width; break;
        case Column::Centre: r.Width += t.Width + float(fExpanderSize); break;
        case Column::None: break;
        }
    } else if (columns == 0) {
        switch (column) {
        case Column::Left: r.Y = t.Y + t.Height; break;
        case Column::Right: r.Height -= t.Height; break;
        case Column::Centre: r.Height += t.Height + float(fExpanderSize); break;
        case Column::None: break;
        }
    }
}

void TSmoothImageListBoxSplitter::DrawSplitter(TGPGraphics* graphics, TSmoothImageListBoxHTMLText* caption,
                                               const TGPRectF& q, bool collapsed, int expanderHover,
                                               int expanderDown) const
{
    const int rows = owner_->Rows(), columns = owner_->Columns();
    const std::optional<TGPRectF> splitter = GetRect(q);
    TGPRectF r = splitter.value_or(TGPRectF{});
    TGPRectF t{};
    if (rows == 0)
        t = owner_->GetHTMLTextRect(graphics, *caption, r);
    else if (columns == 0)
        t = owner_->GetTextRect(graphics, *caption, r);

    TGPRectF e{};
    if (fSize > 2) {
        fill_->Fill(graphics, q);
        if (splitter) {
            ExpanderTextRect(t, r);
            e = GetExpanderRect(r);
        }
    } else if (splitter) {
        const bool horizontal = rows == 0;
        if (horizontal) {
            t.X -= 2;
            t.Width += 2;
        } else {
            t.Y -= 2;
            t.Height += 2;
        }
        ExpanderTextRect(t, r);
        e = GetExpanderRect(r);
        const auto pieces =
            horizontal ? SplitterPieces(fTextLocation, fExpanderLocation, q.X, q.X + q.Width, t.X, t.X + t.Width, e.X,
                                        e.X + e.Width)
                       : SplitterPieces(fTextLocation, fExpanderLocation, q.Y, q.Y + q.Height, t.Y, t.Y + t.Height,
                                        e.Y, e.Y + e.Height);
        for (const TSplitterPiece& piece : pieces) {
            const TGPRectF box = horizontal ? TGPRectF{piece.Start, q.Y, piece.End - piece.Start, q.Height}
                                            : TGPRectF{q.X, piece.Start, q.Width, piece.End - piece.Start};
            fill_->Fill(graphics, box);
        }
    }

    if (columns == 0) {
        TGPRectF text = t;
        text.Y += 2;
        text.Height -= 2;
        owner_->DrawText(graphics, *caption, text);
    } else if (rows == 0) {
        TGPRectF text = t;
        text.X += 2;
        text.Width -= 2;
        owner_->DrawHTMLText(graphics, *caption, text);
    }

    if (fExpander && splitter)
        DrawExpander(graphics, e, collapsed, expanderHover, expanderDown);
}

void TSmoothImageListBoxSplitter::DrawExpander(TGPGraphics* graphics, const TGPRectF& rect, bool collapsed,
                                               int expanderHover, int expanderDown) const
{
    graphics->SetSmoothingMode(SmoothingModeAntiAlias);
    const float x = rect.X, y = rect.Y, w = float(fExpanderSize), h = float(fExpanderSize);
    TColor k = fExpanderHoverColor;
    if (expanderDown != -1)
        k = fExpanderDownColor;
    else if (expanderHover == -1)
        k = fExpanderColor;
    // clNone leaves the face out and draws the chevron alone.
    PaintListBoxButton(graphics, TGPRectF{x, y, w, h}, fExpanderShape, fExpanderSize, fExpanderBorderColor, k);

    TGPPen pen(MakeColor(255, 0, 0, 0), 1.0f);
    auto line = [&](float x1, float y1, float x2, float y2) { graphics->DrawLine(&pen, x1, y1, x2, y2); };
    const int rows = owner_->Rows(), columns = owner_->Columns();
    if (rows == 0) {
        if (collapsed) {  // pointing down
            line(x + w / 2, y + 2 * h / 3, x + w / 3, y + h / 3);
            line(x + w / 2, y + 2 * h / 3, x + 2 * w / 3, y + h / 3);
        } else {  // pointing up
            line(x + w / 2, y + h / 3, x + w / 3, y + 2 * h / 3);
            line(x + w / 2, y + h / 3, x + 2 * w / 3, y + 2 * h / 3);
        }
    } else if (columns == 0) {
        if (collapsed) {  // pointing right
            line(x + w / 3, y + h / 3, x + 2 * w / 3, y + h / 2);
            line(x + w / 3, y + 2 * h / 3, x + 2 * w / 3, y + h / 2);
        } else {  // pointing left
            line(x + 2 * w / 3, y + h / 3, x + w / 3, y + h / 2);
            line(x + 2 * w / 3, y + 2 * h / 3, x + w / 3, y + h / 2);
        }
    }
    graphics->SetSmoothingMode(SmoothingModeDefault);
}
