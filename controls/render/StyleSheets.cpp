#include "controls/render/StyleSheets.h"

#include <QPainter>
#include <string>

#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxNavigator.h"
#include "controls/TSmoothImageListBoxSplitter.h"

namespace {

constexpr int kPanelWidth = 300;
constexpr int kPanelHeight = 230;
constexpr int kLabel = 18;

// The grid sample: three columns under a header, a group splitter with an
// expander, five pictures (the second selected, the fourth disabled) with
// captions, the footer's navigator.
void MakeGridSample(TSmoothImageListBox& box)
{
    box.SetColumns(3);
    box.SetShowScrollBar(false);
    box.resize(kPanelWidth, kPanelHeight - kLabel);
    box.Header()->SetHeight(26);
    box.Header()->SetCaption("Header");
    box.Footer()->SetHeight(30);
    box.Footer()->SetCaption("Footer");
    box.Footer()->Navigator()->SetVisible(true);
    box.Footer()->Navigator()->SetSize(20);
    TSmoothImageListBoxItemAppearance* ap = box.ItemAppearance();
    ap->SetItemWidth(86);
    ap->SetItemHeight(66);
    ap->SetImageWidth(80);
    ap->SetImageHeight(44);
    ap->SetTextVisible(true);
    ap->SetTextHeight(14);
    ap->SetImageAlign(alTop);
    ap->SetTextAlign(alBottom);
    ap->Splitter()->SetExpander(true);
    ap->Splitter()->SetSize(3);

    const QColor pictures[] = {QColor(200, 60, 40), QColor(40, 120, 200), QColor(60, 160, 80), QColor(220, 180, 40),
                               QColor(120, 70, 160)};
    box.Items()->BeginUpdate();
    TSmoothImageListBoxItem* splitter = box.Items()->Add();
    splitter->SetSplitter(true);
    splitter->SetSplitterText("Group");
    for (int i = 0; i < 5; ++i) {
        TSmoothImageListBoxItem* item = box.Items()->Add();
        QImage image(160, 110, QImage::Format_RGB32);
        image.fill(pictures[i]);
        item->Image()->Assign(&image);
        item->Caption()->SetText("Item " + std::to_string(i + 1));
        item->SetEnabled(i != 3);
    }
    box.Items()->EndUpdate();
    box.SetSelectedItemIndex(2);
}

const char* const kNames[] = {"tsOffice2003Blue", "tsOffice2003Silver", "tsOffice2003Olive", "tsOffice2003Classic",
                              "tsOffice2007Luna", "tsOffice2007Obsidian", "tsWindowsXP", "tsWhidbey",
                              "tsCustom", "tsOffice2007Silver", "tsWindowsVista", "tsWindows7",
                              "tsTerminal"};

}  // namespace

QImage ListBoxStylesSheet()
{
    constexpr int columns = 4;
    QImage sheet(columns * (kPanelWidth + 10) + 10, 3 * (kPanelHeight + 10) + 10, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int panel = 0;
    for (int style = tsOffice2003Blue; style <= tsTerminal; ++style) {
        if (style == tsCustom)
            continue;
        const int x = 10 + (panel % columns) * (kPanelWidth + 10);
        const int y = 10 + (panel / columns) * (kPanelHeight + 10);
        ++panel;
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(QRect(x, y, kPanelWidth, kLabel), Qt::AlignLeft | Qt::AlignVCenter, kNames[style]);

        TSmoothImageListBox box;
        MakeGridSample(box);
        box.SetComponentStyle(static_cast<TControlStyle>(style));
        box.Loaded();
        box.WaitForThumbnails();
        box.render(&painter, QPoint(x, y + kLabel));
    }
    painter.end();
    return sheet;
}
