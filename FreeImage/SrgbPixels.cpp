#include "FreeImage/SrgbPixels.h"

#include <vector>

#include "platform/icm/EmbeddedProfile.h"
#include "platform/icm/SrgbTransform.h"

namespace {

void ConvertPixels(FIBITMAP* dib, const std::vector<uint8_t>& profile)
{
    if (FreeImage_GetImageType(dib) != FIT_BITMAP || !FreeImage_HasPixels(dib))
        return;
    const unsigned bpp = FreeImage_GetBPP(dib);
    const size_t width = FreeImage_GetWidth(dib);
    const size_t height = FreeImage_GetHeight(dib);
    const ptrdiff_t pitch = ptrdiff_t(FreeImage_GetPitch(dib));
    if (bpp == 24 || bpp == 32) {
        // The library keeps colour as blue, green, red (and alpha) in memory.
        static_assert(FI_RGBA_RED == 2 && FI_RGBA_BLUE == 0, "pixels in blue-green-red order");
        const TSrgbTransform transform(profile, bpp == 24 ? TSrgbTransform::TLayout::Bgr8
                                                          : TSrgbTransform::TLayout::Bgra8);
        transform.ConvertRows(FreeImage_GetBits(dib), width, height, pitch);
        return;
    }
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    const unsigned colours = FreeImage_GetColorsUsed(dib);
    if (!palette || colours == 0)
        return;
    if (bpp == 8 && FreeImage_GetColorType(dib) == FIC_MINISBLACK) {
        // Grey with a grey profile: the samples change, the grey ramp stays,
        // so the picture is still seen as grey.
        const TSrgbTransform transform(profile, TSrgbTransform::TLayout::Grey8);
        if (!transform.IsValid())
            return;
        uint8_t table[256];
        for (int i = 0; i < 256; ++i)
            table[i] = uint8_t(i);
        transform.Convert(table, 256);
        for (size_t y = 0; y < height; ++y) {
            BYTE* row = FreeImage_GetScanLine(dib, int(y));
            for (size_t x = 0; x < width; ++x)
                row[x] = table[row[x]];
        }
        return;
    }
    // A palette holds every colour the picture uses.
    const TSrgbTransform transform(profile, TSrgbTransform::TLayout::Bgra8);
    transform.Convert(reinterpret_cast<uint8_t*>(palette), colours);
}

}  // namespace

FIBITMAP* PixelsToSrgb(FIBITMAP* dib, const BYTE* data, size_t size)
{
    if (!dib)
        return nullptr;
    const std::vector<uint8_t> profile = EmbeddedProfile(data, size);
    if (!profile.empty())
        ConvertPixels(dib, profile);
    // The JPEG, PNG and TIFF writers would copy a kept profile into every
    // written picture, telling a browser to convert what is sRGB already.
    FreeImage_DestroyICCProfile(dib);
    return dib;
}
