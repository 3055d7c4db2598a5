#include "app/StripThumbnail.h"

#include "app/ScreenPixmap.h"

#include "FreeImage/FreeWinBitmap.h"
#include "controls/GPImage.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "platform/gdiplus/GpImage.h"

#include <algorithm>
#include <cmath>

StripThumbnail::StripThumbnail(TSmoothImageListBox* strip)
{
    TSmoothImageListBoxItemAppearance* look = strip->ItemAppearance();
    const TGPRectF area = strip->GetItemImageRect(
        MakeRect(0.0f, 0.0f, static_cast<float>(look->GetColumnWidth()), static_cast<float>(look->GetRowHeight())));
    width_ = static_cast<int>(std::nearbyint(area.Width));
    height_ = static_cast<int>(std::nearbyint(area.Height));
    aspectRatio_ = look->AspectRatio();
    shrinkOnly_ = look->Stretch() == isShrinkOnly;
}

QImage StripThumbnail::Make(TFreeWinBitmap& picture) const
{
    const int sourceWidth = picture.GetWidth();
    const int sourceHeight = picture.GetHeight();
    int w = 0;
    int h = 0;
    TSmoothImageListBox::FitAspectSize(aspectRatio_, shrinkOnly_, w, h, width_, height_, sourceWidth, sourceHeight);
    if (w <= 0 || h <= 0)
        return QImage();
    // What the artwork page shows: transparent parts over white.
    return ScaledScreenImage(picture, w, h);
}

void StripThumbnail::Show(TSmoothImageListBoxItem* item, const QImage& thumbnail, const TFreeWinBitmap* picture) const
{
    item->Thumbnail.reset();
    if (!thumbnail.isNull())
        item->Thumbnail = NewDrawingBitmap(thumbnail);
    // The strip zooms toward the picture's own size.
    item->SourceWidth = picture ? static_cast<float>(picture->GetWidth()) : 0.0f;
    item->SourceHeight = picture ? static_cast<float>(picture->GetHeight()) : 0.0f;
    item->ImagePixelFormat = static_cast<int>(PixelFormat32bppARGB);
    item->ImagePixelDepth = 32;
    item->ImageHasPalette = false;
    item->ImageHasAlpha = false;
    item->LargestThumbWidth = std::max(item->LargestThumbWidth, width_);
    item->LargestThumbHeight = std::max(item->LargestThumbHeight, height_);
    item->SetStatus(stLoaded);
    item->Changed();
}
