// What turning a photo's own colour profile into sRGB adds to loading it: a
// 12-megapixel JPEG loaded as it is, then the same JPEG carrying a wide-gamut
// profile, which every load converts.
#include <benchmark/benchmark.h>

#include <lcms2.h>

#include <vector>

#include "FreeImage/FreeBitmap.h"
#include "bench/Photo12Mp.h"

namespace {

// A wide-gamut RGB profile (Adobe RGB's primaries and tone curve).
std::vector<BYTE> WideProfile()
{
    const cmsCIExyY white{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<BYTE> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

std::vector<BYTE> WithProfile(std::vector<BYTE> jpeg, const std::vector<BYTE>& profile)
{
    std::vector<BYTE> segment = {0xFF, 0xE2, 0, 0};
    const char tag[] = "ICC_PROFILE";
    segment.insert(segment.end(), tag, tag + sizeof tag);
    segment.push_back(1);
    segment.push_back(1);
    segment.insert(segment.end(), profile.begin(), profile.end());
    const size_t length = segment.size() - 2;
    segment[2] = BYTE(length >> 8);
    segment[3] = BYTE(length & 0xFF);
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

void Load(benchmark::State& state, const std::vector<BYTE>& file)
{
    for (auto _ : state) {
        TFreeBitmap bitmap;
        if (!bitmap.LoadFromMemory(file.data(), DWORD(file.size())))
            state.SkipWithError("the photo did not load");
        benchmark::DoNotOptimize(bitmap.AccessPixels());
    }
}

void BM_Load12MpJpeg(benchmark::State& state)
{
    static const std::vector<BYTE> photo = Photo12Mp();
    Load(state, photo);
}

void BM_Load12MpJpegWithWideGamutProfile(benchmark::State& state)
{
    static const std::vector<BYTE> photo = WithProfile(Photo12Mp(), WideProfile());
    Load(state, photo);
}

}  // namespace

BENCHMARK(BM_Load12MpJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load12MpJpegWithWideGamutProfile)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
