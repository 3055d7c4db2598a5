// Sheets of the thumbnail list widget, drawn through QWidget::render as the
// window system would show it.
#include "controls/render/ListWidgetSheets.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>
#include <functional>

#include "controls/TSmoothImageListBoxSplitter.h"
#include "controls/TSmoothImageListBoxTopLayerItems.h"
#include "controls/render/MainWindowStrip.h"

namespace {

// A picture that looks like one: a diagonal gradient with its number.
void SetArtwork(TSmoothImageListBoxItem* item, int n, int width = 400, int height = 300)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor::fromHsv((n * 47) % 360, 160, 230));
    g.setColorAt(1, QColor::fromHsv((n * 47 + 120) % 360, 200, 120));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    QFont font("DejaVu Sans", height / 4, QFont::Bold);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, QString::number(n + 1));
    p.end();
    item->Image()->Assign(&image);
}

void Fill(TSmoothImageListBox& box, int count)
{
    box.Items()->BeginUpdate();
    for (int i = 0; i < count; ++i)
        SetArtwork(box.Items()->Add(), i);
    box.Items()->EndUpdate();
    box.WaitForThumbnails();
}

// The widget inside a parent of the main window's grey, as shown.
QImage Shot(const std::function<void(TSmoothImageListBox&)>& setUp, int width, int height,
            const std::function<void(TSmoothImageListBox&)>& configure)
{
    QWidget parent;
    parent.resize(width, height);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    parent.setPalette(palette);
    auto* box = new TSmoothImageListBox(&parent);
    box->setGeometry(0, 0, width, height);
    configure(*box);
    setUp(*box);
    box->WaitForThumbnails();
    QImage image(width, height, QImage::Format_ARGB32);
    parent.render(&image);
    return image;
}

struct Labelled {
    QString label;
    QImage image;
};

QImage Stack(const std::vector<Labelled>& shots)
{
    int width = 0, height = 0;
    for (const auto& s : shots) {
        width = std::max(width, s.image.width() + 20);
        height += s.image.height() + 30;
    }
    QImage sheet(width, height + 10, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setFont(QFont("DejaVu Sans", 9));
    int y = 10;
    for (const auto& s : shots) {
        p.setPen(QColor(60, 60, 60));
        p.drawText(10, y + 12, s.label);
        p.drawImage(10, y + 20, s.image);
        y += s.image.height() + 30;
    }
    return sheet;
}

// The test's state setters are protected: a subclass reaches them.
class SheetListBox : public TSmoothImageListBox {
public:
    static void Hover(TSmoothImageListBox& box, int index) { static_cast<SheetListBox&>(box).FHoverItemIndex = index; }
    static void Focus(TSmoothImageListBox& box, int index)
    {
        auto& b = static_cast<SheetListBox&>(box);
        b.FFocusedItemIndex = index;
        b.FHasFocus = true;
    }
    static void Scroll(TSmoothImageListBox& box, int position)
    {
        auto& b = static_cast<SheetListBox&>(box);
        b.Position = b.PositionTo = position;
        b.InitListBoxItems();
    }
    static void Settle(TSmoothImageListBox& box)
    {
        for (int i = 0; i < 1000 && static_cast<SheetListBox&>(box).AnimateZoom; ++i)
            box.Tick();
    }
};

}  // namespace

QImage ListWidgetStripSheet()
{
    auto strip = [](TSmoothImageListBox& b) { strip_setup::ConfigureAsMainWindowStrip(b); };
    std::vector<Labelled> shots;
    shots.push_back({"empty strip, footer caption", Shot([](TSmoothImageListBox& b) {
                         b.Footer()->SetCaption("No pictures yet");
                     }, 1024, 172, strip)});
    shots.push_back({"first item selected, third hovered, second focused (dots with focus)",
                     Shot([](TSmoothImageListBox& b) {
                         Fill(b, 8);
                         b.Footer()->SetCaption("8 pictures");
                         SheetListBox::Hover(b, 2);
                         SheetListBox::Focus(b, 1);
                     }, 1024, 172, strip)});
    shots.push_back({"scrolled by 200 pixels, fourth item disabled, tall pictures",
                     Shot([](TSmoothImageListBox& b) {
                         b.Items()->BeginUpdate();
                         for (int i = 0; i < 12; ++i)
                             SetArtwork(b.Items()->Add(), i, i % 2 ? 200 : 400, 300);
                         b.Items()->EndUpdate();
                         b.Items()->GetItem(3)->SetEnabled(false);
                         b.SetSelectedItemIndex(2);
                         SheetListBox::Scroll(b, 200);
                     }, 1024, 172, strip)});
    shots.push_back({"second item zoomed in", Shot([](TSmoothImageListBox& b) {
                         Fill(b, 8);
                         QImage scratch(1024, 172, QImage::Format_ARGB32);
                         b.render(&scratch);  // places the thumbnails the zoom starts from
                         b.DoZoom(1);
                         SheetListBox::Settle(b);
                     }, 1024, 172, strip)});
    shots.push_back({"items updating: the parent shows", Shot([](TSmoothImageListBox& b) {
                         Fill(b, 8);
                         b.Items()->BeginUpdate();
                     }, 1024, 172, strip)});
    return Stack(shots);
}

QImage ListWidgetGridSheet()
{
    auto grid = [](TSmoothImageListBox& b) {
        b.SetColumns(3);
        TSmoothImageListBoxItemAppearance* ap = b.ItemAppearance();
        ap->SetItemWidth(150);
        ap->SetItemHeight(130);
        ap->SetImageWidth(140);
        ap->SetImageHeight(95);
        ap->SetTextVisible(true);
        ap->SetTextHeight(20);
        ap->SetHoverSize(8);
        strip_setup::PlainFill(ap->Fill(), 0xFAF0E6, 0xB48246);
        strip_setup::PlainFill(ap->SelectedFill(), 0xE1C8A0, 0x8B4513);
        strip_setup::PlainFill(ap->HoverFill(), 0xFFF8F0, 0xB48246);
        ap->Splitter()->SetExpander(true);
        ap->Splitter()->Fill()->SetColor(0xB59285);
        ap->Splitter()->Fill()->SetColorTo(0x962D00);
        b.Header()->SetCaption("Grid with captions");
        TFont font;
        font.SetHeight(-14);
        font.SetStyle(fsBold);
        font.SetColor(colors::clWhite);
        b.Header()->SetFont(&font);
        b.Header()->Navigator()->SetVisible(true);
        b.Header()->Fill()->SetColor(0x933803);
        b.Header()->Fill()->SetColorTo(0xD68759);
        b.Footer()->SetCaption("footer");
        b.Footer()->SetHeight(30);
        b.Footer()->Fill()->SetColor(0xD68759);
        b.Footer()->Fill()->SetColorTo(0x933803);
    };
    auto fill = [](TSmoothImageListBox& b) {
        b.Items()->BeginUpdate();
        int n = 0;
        for (int group = 0; group < 2; ++group) {
            TSmoothImageListBoxItem* splitter = b.Items()->Add();
            splitter->SetSplitter(true);
            splitter->SetSplitterText(group == 0 ? "Paintings" : "Drawings");
            for (int i = 0; i < (group == 0 ? 4 : 3); ++i, ++n) {
                TSmoothImageListBoxItem* item = b.Items()->Add();
                SetArtwork(item, n);
                item->Caption()->SetText(n == 1 ? "<b>Harbour</b> at dusk" : "Study " + std::to_string(n + 1));
            }
        }
        b.Items()->EndUpdate();
        b.SetSelectedItemIndex(2);
        SheetListBox::Hover(b, 4);
        TSmoothImageListBoxTopLayerItem* top = b.TopLayerItems()->Add();
        top->SetLeft(330);
        top->SetTop(10);
        top->SetWidth(150);
        top->SetHeight(40);
        top->Fill()->SetColor(0x80FFFF);
        top->Fill()->SetColorTo(0x40C0FF);
        top->Fill()->SetOpacity(220);
        top->Fill()->SetRounding(8);
        top->HTMLText()->SetText("<b>Top layer</b> box");
        top->HTMLText()->SetLocation(cpCenterCenter);
    };
    std::vector<Labelled> shots;
    shots.push_back({"grid of 3 columns: captions, splitters with expanders, header with navigator, top layer",
                     Shot(fill, 600, 450, grid)});
    shots.push_back({"the same with the second group collapsed", Shot([&](TSmoothImageListBox& b) {
                         fill(b);
                         b.Items()->GetItem(5)->SetSplitterState(stCollapsed);
                     }, 600, 450, grid)});
    return Stack(shots);
}
