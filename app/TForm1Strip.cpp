// The main window's page strip: one item per page of the portfolio (the
// statement, the artworks in portfolio order, "Add Artwork" last), and the
// switching of the page shown in Panel2.
#include "app/TForm1.h"

#include "app/AddArtworksThread.h"
#include "app/StripThumbnail.h"
#include "app/TForm2.h"
#include "app/TFrame1.h"
#include "app/TFrame2.h"
#include "FreeImage/FreeWinBitmap.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxNavigator.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "ui_TForm1.h"
#include "zip/TZAWorkerPool.h"

#include <QLayout>
#include <algorithm>
#include <vector>

namespace {

const int kDeleteKey = 46;

// Colours as the strip takes them: 0x00BBGGRR.
const TColor kBackground = 0xF2F2F2;
const TColor kItemBorder = 0x00CCFF;
const TColor kSelectedBorder = 0x0066FF;
const TColor kHoverBorder = 0x0099FF;

void PlainFill(TGDIPFill* fill, TColor colour, TColor border)
{
    fill->SetColor(colour);
    fill->SetColorTo(colour);
    fill->SetGradientType(gtSolid);
    fill->SetBorderColor(border);
    fill->SetRounding(0);
    fill->SetShadowOffset(0);
}

// The statement and "Add Artwork" items show pictures of the program's own.
void AddFixedItem(TSmoothImageListBoxItems* items, const char* resource)
{
    items->Add()->Image()->LoadFromResourceName(resource);
}

// Null for an artwork without an image: its item shows the default picture.
QImage ThumbnailOf(const StripThumbnail& thumbnail, const Picture& picture)
{
    TFreeWinBitmap* bitmap = picture.GetBitmap();
    return bitmap ? thumbnail.Make(*bitmap) : QImage();
}

} // namespace

void TForm1::SetUpStrip()
{
    TSmoothImageListBox* strip = ui_->SmoothImageListBox1;
    SmoothImageListBox1 = strip;
    strip->SetRows(1);
    strip->SetThreadLoading(tlOnDemand);
    strip->SetZoomOnDblClick(false);
    strip->SetShowScrollBar(false);
    strip->SetFocusColor(colors::cl3DLight);
    PlainFill(strip->Fill(), kBackground, colors::clNone);

    TSmoothImageListBoxItemAppearance* look = strip->ItemAppearance();
    look->SetImageWidth(143);
    look->SetImageHeight(100);
    look->SetItemWidth(143);
    look->SetItemHeight(110);
    look->SetHoverSize(10);
    PlainFill(look->Fill(), colors::clWhite, kItemBorder);
    PlainFill(look->SelectedFill(), colors::clWhite, kSelectedBorder);
    PlainFill(look->HoverFill(), colors::clWhite, kHoverBorder);
    PlainFill(look->DisabledFill(), 0xD8D5D4, colors::clGray);

    strip->Header()->SetVisible(false);
    TSmoothImageListBoxFooter* footer = strip->Footer();
    footer->SetHeight(35);
    footer->Fill()->SetColor(colors::clNone);
    footer->Fill()->SetColorTo(colors::clNone);
    footer->Fill()->SetBorderColor(colors::clNone);
    footer->Fill()->SetShadowOffset(-2);
    footer->Font()->SetName("Tahoma");
    footer->Font()->SetHeight(-13);  // 13 pixels of character height
    footer->Font()->SetColor(colors::clBlack);
    TSmoothImageListBoxNavigator* navigator = footer->Navigator();
    navigator->SetVisible(true);
    navigator->SetShape(nsRounded);
    navigator->SetSize(25);
    navigator->SetColor(colors::clWhite);
    navigator->SetHoverColor(0x33A4FF);
    navigator->SetDownColor(0xAAD9FF);
    navigator->SetBorderColor(colors::clBlack);

    TGDIPPicture noPicture;
    noPicture.LoadFromResourceName("STRIP_DEFAULT_PNG");
    strip->SetDefaultImage(noPicture);

    TSmoothImageListBoxItems* items = strip->Items();
    items->BeginUpdate();
    AddFixedItem(items, "STRIP_STATEMENT_PNG");
    AddFixedItem(items, "STRIP_ADD_PNG");
    items->EndUpdate();
    strip->Loaded();
    strip->SetSelectedItemIndex(0);

    strip->OnItemSelect = [this](QObject* sender, int index) { SmoothImageListBox1ItemSelect(sender, index); };
    strip->OnItemDblClick = [this](QObject* sender, int index) { SmoothImageListBox1ItemDblClick(sender, index); };
    strip->OnKeyDown = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) {
        SmoothImageListBox1KeyDown(sender, key, shift);
    };
}

Picture* TForm1::StripPicture(int index) const
{
    TSmoothImageListBoxItems* items = SmoothImageListBox1->Items();
    if (index <= 0 || index >= items->Count() - 1)
        return nullptr;
    return reinterpret_cast<Picture*>(items->GetItem(index)->Tag());
}

void TForm1::RebuildStrip()
{
    TSmoothImageListBox* strip = SmoothImageListBox1;
    strip->SetSelectedItemIndex(0);
    TSmoothImageListBoxItems* items = strip->Items();
    items->BeginUpdate();
    while (items->Count() > 2)
        items->Delete(1);
    items->EndUpdate();
    strip->ScrollToItem(0);
    // An opened portfolio's pictures are all decoded: their thumbnails are
    // made on all cores at once.
    const StripThumbnail thumbnail(strip);
    const int count = portfolio_->GetPictureCount();
    std::vector<QImage> thumbnails(static_cast<size_t>(count));
    RunOnWorkers(thumbnails.size(),
                 [&](size_t i) { thumbnails[i] = ThumbnailOf(thumbnail, *portfolio_->GetPicture(static_cast<int>(i))); });
    // One update for all: each one restarts the strip's loader thread.
    items->BeginUpdate();
    for (int i = 0; i < count; ++i)
        AddStripItem(portfolio_->GetPicture(i), thumbnails[static_cast<size_t>(i)]);
    items->EndUpdate();
    ShowSelectedPage();
}

void TForm1::ShowSelectedPage()
{
    const std::lock_guard<std::recursive_mutex> lock(portfolioMutex_);
    TSmoothImageListBox* strip = SmoothImageListBox1;
    const int s = strip->SelectedItemIndex();
    const int count = strip->Items()->Count();
    if (s == 0) {
        if (!Frame2)
            Frame2 = new TFrame2(this);
        ShowPage(Frame2);
        strip->Footer()->SetCaption("Statement");
        Frame2->ShowStatement();
    } else if (s > 0 && s < count - 1) {
        if (!Frame1)
            Frame1 = new TFrame1(this);
        ShowPage(Frame1);
        Frame1->ShowPicture(StripPicture(s));
    } else if (s == count - 1) {
        strip->Footer()->SetCaption("Add Artwork");
    }
}

void TForm1::ShowPage(QWidget* page)
{
    if (page->parentWidget() != ui_->Panel2) {
        // A page taken out stays this window's child, hidden, for its next turn.
        if (currentFrame_) {
            currentFrame_->hide();
            currentFrame_->setParent(this);
        }
        ui_->Panel2->layout()->addWidget(page);
    }
    page->show();
    currentFrame_ = page;
}

bool TForm1::AddPictureToStrip(Picture* picture)
{
    if (!picture)
        return false;
    return AddStripItem(picture, ThumbnailOf(StripThumbnail(SmoothImageListBox1), *picture));
}

bool TForm1::AddStripItem(Picture* picture, const QImage& thumbnail)
{
    const std::lock_guard<std::recursive_mutex> lock(portfolioMutex_);
    TSmoothImageListBoxItems* items = SmoothImageListBox1->Items();
    items->BeginUpdate();
    TSmoothImageListBoxItem* item = items->Add();
    item->SetIndex(items->Count() - 2);
    item->SetTag(reinterpret_cast<intptr_t>(picture));
    StripThumbnail(SmoothImageListBox1).Show(item, thumbnail, picture->GetBitmap());
    items->EndUpdate();
    return true;
}

bool TForm1::UpdateThumbnail(Picture* picture)
{
    if (!picture)
        return false;
    TSmoothImageListBoxItems* items = SmoothImageListBox1->Items();
    for (int i = 1; i < items->Count() - 1; ++i) {
        TSmoothImageListBoxItem* item = items->GetItem(i);
        if (reinterpret_cast<Picture*>(item->Tag()) != picture)
            continue;
        const StripThumbnail thumbnail(SmoothImageListBox1);
        items->BeginUpdate();
        thumbnail.Show(item, ThumbnailOf(thumbnail, *picture), picture->GetBitmap());
        items->EndUpdate();
        return true;
    }
    return false;
}

void TForm1::AddArtworksFromFiles(const std::vector<std::string>& files)
{
    if (files.empty() || !portfolio_)
        return;
    std::erase_if(addJobs_, [](const std::unique_ptr<AddArtworksThread>& job) { return job->Finished(); });
    addJobs_.push_back(std::make_unique<AddArtworksThread>(
        portfolio_.get(), files, StripThumbnail(SmoothImageListBox1),
        [this](std::vector<DecodedArtwork>& artworks) { AddDecodedArtworks(artworks); }));
}

bool TForm1::AddingArtworks() const
{
    return std::any_of(addJobs_.begin(), addJobs_.end(),
                       [](const std::unique_ptr<AddArtworksThread>& job) { return !job->Finished(); });
}

void TForm1::AddDecodedArtworks(std::vector<DecodedArtwork>& artworks)
{
    if (!portfolio_)
        return;
    TSmoothImageListBoxItems* items = SmoothImageListBox1->Items();
    items->BeginUpdate();
    for (DecodedArtwork& artwork : artworks) {
        if (artwork.picture->GetOwner() != portfolio_.get())
            continue;
        AddStripItem(artwork.picture.get(), artwork.thumbnail);
        portfolio_->AddPicture(artwork.picture.release());
    }
    items->EndUpdate();
    ShowSelectedPage();
}

bool TForm1::DeleteSelectedPicture()
{
    TSmoothImageListBox* strip = SmoothImageListBox1;
    const int s = strip->SelectedItemIndex();
    Picture* picture = StripPicture(s);
    if (!picture)
        return false;
    if (MessageBoxA(this, "Are you sure you want to delete this picture?", "Delete Picture - " + picture->GetTitle(true),
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return true;
    TSmoothImageListBoxItems* items = strip->Items();
    items->BeginUpdate();
    items->Delete(s);
    items->EndUpdate();
    strip->SetSelectedItemIndex(s - 1);
    portfolio_->RemovePicture(picture);
    ShowSelectedPage();
    return true;
}

void TForm1::EditSelectedPicture()
{
    Picture* picture = StripPicture(SmoothImageListBox1->SelectedItemIndex());
    if (!picture || !Form2)
        return;
    if (Form2->EditArtwork(picture) == mrOk) {
        UpdateThumbnail(picture);
        ShowSelectedPage();
    }
}

void TForm1::SmoothImageListBox1ItemSelect(QObject*, int itemindex)
{
    const int count = SmoothImageListBox1->Items()->Count();
    if (itemindex >= 0 && itemindex < count - 1) {
        ShowSelectedPage();
        return;
    }
    if (itemindex != count - 1 || !Form2)
        return;
    if (Form2->AddArtwork() != mrOk)
        return;
    Picture* picture = Form2->GetPicture();
    if (AddPictureToStrip(picture)) {
        portfolio_->AddPicture(picture);
        ShowSelectedPage();
    } else {
        delete picture;
    }
}

void TForm1::SmoothImageListBox1ItemDblClick(QObject*, int)
{
    EditSelectedPicture();
}

void TForm1::SmoothImageListBox1KeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (Key != kDeleteKey)
        return;
    if (StripPicture(SmoothImageListBox1->SelectedItemIndex()))
        DeleteSelectedPicture();
    // Delete is no key of the strip's own: passed on, it would select the
    // current item again, and on "Add Artwork" that asks for a new artwork.
    Key = 0;
}
