#include "platform/icm/SrgbTransform.h"

#include <lcms2.h>

namespace {

cmsUInt32Number FormatOf(TSrgbTransform::TLayout layout)
{
    switch (layout) {
    case TSrgbTransform::TLayout::Bgr8: return TYPE_BGR_8;
    case TSrgbTransform::TLayout::Rgb8: return TYPE_RGB_8;
    case TSrgbTransform::TLayout::Bgra8: return TYPE_BGRA_8;
    case TSrgbTransform::TLayout::Grey8: return TYPE_GRAY_8;
    }
    return TYPE_RGB_8;
}

// Grey pixels stay grey: their target is the grey of sRGB (its white, its
// tone curve), so a grey picture keeps one sample per pixel.
cmsHPROFILE SrgbGrey(cmsContext context)
{
    const cmsFloat64Number parameters[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(context, 4, parameters);
    if (!curve)
        return nullptr;
    cmsHPROFILE grey = cmsCreateGrayProfileTHR(context, cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return grey;
}

}  // namespace

TSrgbTransform::TSrgbTransform(const std::vector<uint8_t>& profile, TLayout layout)
{
    if (profile.empty())
        return;
    // A context of its own: no shared state between threads, and the
    // library's complaints about a bad profile go nowhere.
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context)
        return;
    cmsSetLogErrorHandlerTHR(context, [](cmsContext, cmsUInt32Number, const char*) {});
    context_ = context;
    cmsHPROFILE source = cmsOpenProfileFromMemTHR(context, profile.data(), cmsUInt32Number(profile.size()));
    if (!source)
        return;
    const bool grey = layout == TLayout::Grey8;
    const cmsColorSpaceSignature space = cmsGetColorSpace(source);
    cmsHPROFILE target = nullptr;
    if (grey && space == cmsSigGrayData)
        target = SrgbGrey(context);
    else if (!grey && space == cmsSigRgbData)
        target = cmsCreate_sRGBProfileTHR(context);
    if (target) {
        const cmsUInt32Number format = FormatOf(layout);
        format_ = format;
        // Relative colorimetric, as browsers convert pictures: colours
        // inside sRGB keep their values, the rest are clipped to its edge.
        transform_ = cmsCreateTransformTHR(context, source, format, target, format, INTENT_RELATIVE_COLORIMETRIC,
                                           layout == TLayout::Bgra8 ? cmsFLAGS_COPY_ALPHA : 0);
        cmsCloseProfile(target);
    }
    cmsCloseProfile(source);
}

TSrgbTransform::~TSrgbTransform()
{
    if (transform_)
        cmsDeleteTransform(transform_);
    if (context_)
        cmsDeleteContext(static_cast<cmsContext>(context_));
}

void TSrgbTransform::Convert(uint8_t* pixels, size_t count) const
{
    if (!transform_)
        return;
    // The library counts pixels in 32 bits.
    constexpr size_t kStep = size_t{1} << 30;
    const size_t bytes = T_BYTES(format_) * (T_CHANNELS(format_) + T_EXTRA(format_));
    for (size_t done = 0; done < count; done += kStep) {
        const size_t now = count - done < kStep ? count - done : kStep;
        cmsDoTransform(transform_, pixels + done * bytes, pixels + done * bytes, cmsUInt32Number(now));
    }
}

void TSrgbTransform::ConvertRows(uint8_t* first, size_t width, size_t rows, ptrdiff_t stride) const
{
    for (size_t row = 0; row < rows; ++row)
        Convert(first + ptrdiff_t(row) * stride, width);
}
