#include "ColourManager.h"

#include "Bmp.h"
#include "PicDecoder.h"

#include <lcms2.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace
{
std::atomic<bool> g_enabled{true};

using ProfilePtr = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

/// A conversion between two RGB matrix-shaper profiles (most photos' and
/// displays' profiles), done by our own loop: each channel through its
/// input curve to linear light, the 3 x 3 matrix from one set of primaries
/// to the other, each channel through the inverse of the output curve.
/// lcms2's general 8-bit path takes several times as long for the same result.
struct MatrixShaper
{
    static constexpr int kSteps = 16383; // output curve entries - 1
    float in[3][256];                    // red, green, blue: linear light, 0 ... 1
    float m[9];                          // row-major, scaled by kSteps
    uint8_t out[3][kSteps + 1 + 3];      // 3 bytes beyond the end for 4-byte reads
};

/// A transform into sRGB (or from it to the display), and what it reads:
/// gray (then only byte 1 of a pixel), RGB, or four inks. Shared: a
/// transform without the one-pixel cache is read-only once built.
} // namespace

struct CColourTransform
{
    enum Input
    {
        kRgb,
        kGray,
        kInks,
    };
    cmsHTRANSFORM handle = nullptr; // null when shaper does the work
    std::unique_ptr<MatrixShaper> shaper;
    Input input = kRgb;
    ~CColourTransform()
    {
        if (handle)
            cmsDeleteTransform(handle);
    }
};

namespace
{
using Transform = CColourTransform;
using TransformPtr = std::shared_ptr<const Transform>;

/// The transforms of the last few profiles, by a key naming the profile
/// (its bytes, or a text standing for gamma and chromaticities) and the
/// direction. A null entry remembers a profile that was refused.
class TransformCache
{
public:
    TransformPtr Get(const std::string& key, const std::function<TransformPtr()>& build)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& [k, t] : m_entries)
            if (k == key)
                return t;
        TransformPtr t = build();
        m_entries.emplace_back(key, t);
        if (m_entries.size() > kSize)
            m_entries.pop_front();
        return t;
    }

private:
    static constexpr size_t kSize = 16;

    std::mutex m_mutex;
    std::deque<std::pair<std::string, TransformPtr>> m_entries;
};

/// The matrix-shaper conversion from in to out, or null when either is not
/// an RGB matrix-shaper profile.
std::unique_ptr<MatrixShaper> MakeShaper(cmsHPROFILE in, cmsHPROFILE out)
{
    if (cmsGetColorSpace(in) != cmsSigRgbData || !cmsIsMatrixShaper(in) || !cmsIsMatrixShaper(out))
        return nullptr;
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    auto shaper = std::make_unique<MatrixShaper>();
    double a[9], b[9]; // the primaries' XYZ as columns
    for (int c = 0; c < 3; c++)
    {
        const auto* xyzIn = static_cast<const cmsCIEXYZ*>(cmsReadTag(in, colorants[c]));
        const auto* xyzOut = static_cast<const cmsCIEXYZ*>(cmsReadTag(out, colorants[c]));
        const auto* curveIn = static_cast<const cmsToneCurve*>(cmsReadTag(in, curves[c]));
        const auto* curveOut = static_cast<const cmsToneCurve*>(cmsReadTag(out, curves[c]));
        if (!xyzIn || !xyzOut || !curveIn || !curveOut)
            return nullptr;
        a[c] = xyzIn->X, a[3 + c] = xyzIn->Y, a[6 + c] = xyzIn->Z;
        b[c] = xyzOut->X, b[3 + c] = xyzOut->Y, b[6 + c] = xyzOut->Z;
        for (int i = 0; i < 256; i++)
            shaper->in[c][i] =
                std::clamp(cmsEvalToneCurveFloat(curveIn, cmsFloat32Number(i / 255.0)), 0.0f, 1.0f);
        cmsToneCurve* inverse = cmsReverseToneCurve(curveOut);
        if (!inverse)
            return nullptr;
        for (int i = 0; i <= MatrixShaper::kSteps; i++)
        {
            const float v = cmsEvalToneCurveFloat(inverse, cmsFloat32Number(double(i) / MatrixShaper::kSteps));
            shaper->out[c][i] = uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
        }
        cmsFreeToneCurve(inverse);
    }
    // m = b^-1 a: linear input to XYZ, XYZ to linear output.
    const double det = b[0] * (b[4] * b[8] - b[5] * b[7]) - b[1] * (b[3] * b[8] - b[5] * b[6]) +
                       b[2] * (b[3] * b[7] - b[4] * b[6]);
    if (!(std::fabs(det) > 1e-9))
        return nullptr;
    const double inv[9] = {(b[4] * b[8] - b[5] * b[7]) / det, (b[2] * b[7] - b[1] * b[8]) / det,
                           (b[1] * b[5] - b[2] * b[4]) / det, (b[5] * b[6] - b[3] * b[8]) / det,
                           (b[0] * b[8] - b[2] * b[6]) / det, (b[2] * b[3] - b[0] * b[5]) / det,
                           (b[3] * b[7] - b[4] * b[6]) / det, (b[1] * b[6] - b[0] * b[7]) / det,
                           (b[0] * b[4] - b[1] * b[3]) / det};
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
        {
            double v = 0;
            for (int k = 0; k < 3; k++)
                v += inv[3 * r + k] * a[3 * k + c];
            if (!std::isfinite(v) || std::fabs(v) > 64)
                return nullptr;
            shaper->m[3 * r + c] = float(v * MatrixShaper::kSteps);
        }
    return shaper;
}

/// n BGRA pixels through the matrix-shaper conversion, alpha kept.
void ApplyShaperPlain(const MatrixShaper& s, uint8_t* p, size_t n)
{
    const auto index = [](float v) { return int(std::clamp(v, 0.0f, float(MatrixShaper::kSteps)) + 0.5f); };
    for (size_t i = 0; i < n; i++, p += 4)
    {
        const float r = s.in[0][p[2]], g = s.in[1][p[1]], b = s.in[2][p[0]];
        p[2] = s.out[0][index(s.m[0] * r + s.m[1] * g + s.m[2] * b)];
        p[1] = s.out[1][index(s.m[3] * r + s.m[4] * g + s.m[5] * b)];
        p[0] = s.out[2][index(s.m[6] * r + s.m[7] * g + s.m[8] * b)];
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
/// The same eight pixels at a time, with AVX2's gathers for the curves.
__attribute__((target("avx2,fma"))) void ApplyShaperAvx2(const MatrixShaper& s, uint8_t* p, size_t n)
{
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    const __m256 zero = _mm256_setzero_ps(), top = _mm256_set1_ps(float(MatrixShaper::kSteps));
    __m256 m[9];
    for (int k = 0; k < 9; k++)
        m[k] = _mm256_set1_ps(s.m[k]);
    size_t i = 0;
    for (; i + 8 <= n; i += 8, p += 32)
    {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256 b = _mm256_i32gather_ps(s.in[2], _mm256_and_si256(px, low), 4);
        const __m256 g = _mm256_i32gather_ps(s.in[1], _mm256_and_si256(_mm256_srli_epi32(px, 8), low), 4);
        const __m256 r = _mm256_i32gather_ps(s.in[0], _mm256_and_si256(_mm256_srli_epi32(px, 16), low), 4);
        __m256i out = _mm256_and_si256(px, alpha);
        for (int c = 0; c < 3; c++)
        {
            const __m256 v = _mm256_fmadd_ps(m[3 * c], r, _mm256_fmadd_ps(m[3 * c + 1], g, _mm256_mul_ps(m[3 * c + 2], b)));
            const __m256i k = _mm256_cvtps_epi32(_mm256_min_ps(_mm256_max_ps(v, zero), top));
            // Four bytes from the curve's entry, of which the first is the value.
            const __m256i e = _mm256_and_si256(
                _mm256_i32gather_epi32(reinterpret_cast<const int*>(s.out[c]), k, 1), low);
            out = _mm256_or_si256(out, _mm256_slli_epi32(e, 8 * (2 - c)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), out);
    }
    ApplyShaperPlain(s, p, n - i);
}
#endif

void ApplyShaper(const MatrixShaper& s, uint8_t* p, size_t n)
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    if (avx2)
    {
        ApplyShaperAvx2(s, p, n);
        return;
    }
#endif
    ApplyShaperPlain(s, p, n);
}

/// A transform from in (owned; null gives none) to out; inks are read
/// inverted (255 - ink) when inverted is set.
TransformPtr Build(cmsHPROFILE in, cmsHPROFILE out, bool inverted = false)
{
    ProfilePtr input(in, cmsCloseProfile);
    ProfilePtr output(out, cmsCloseProfile);
    if (!in || !out)
        return nullptr;
    const cmsColorSpaceSignature space = cmsGetColorSpace(in);
    if (space != cmsSigRgbData && space != cmsSigGrayData && space != cmsSigCmykData)
        return nullptr;
    if (cmsGetColorSpace(out) != cmsSigRgbData)
        return nullptr;
    // Only profiles that can turn data into colours: not a device link,
    // an abstract or a named-colour profile. CMYK profiles are output
    // (printer) profiles, RGB ones input, display or colour-space profiles.
    const cmsProfileClassSignature cls = cmsGetDeviceClass(in);
    const bool usable = space == cmsSigCmykData
                            ? cls == cmsSigOutputClass || cls == cmsSigColorSpaceClass
                            : cls == cmsSigInputClass || cls == cmsSigDisplayClass ||
                                  cls == cmsSigColorSpaceClass;
    if (!usable)
        return nullptr;
    auto t = std::make_shared<Transform>();
    if ((t->shaper = MakeShaper(in, out)))
        return t;
    cmsUInt32Number format = TYPE_BGRA_8;
    cmsUInt32Number flags = cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA;
    if (space == cmsSigGrayData)
    {
        t->input = Transform::kGray;
        format = TYPE_GRAY_8;
    }
    else if (space == cmsSigCmykData)
    {
        // The fourth byte is black, not alpha: the output's is set afterwards.
        t->input = Transform::kInks;
        format = inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8;
        flags = cmsFLAGS_NOCACHE;
    }
    t->handle = cmsCreateTransform(in, format, out, TYPE_BGRA_8, INTENT_PERCEPTUAL, flags);
    return t->handle ? t : nullptr;
}

TransformCache& Cache()
{
    static TransformCache cache;
    return cache;
}

/// lcms2 reports a damaged profile through its log; the profile is then
/// ignored, so the log stays quiet.
void QuietLog(cmsContext, cmsUInt32Number, const char*) {}

void SilenceLcms()
{
    static std::once_flag once;
    std::call_once(once, [] { cmsSetLogErrorHandler(QuietLog); });
}

/// n BGRA pixels through the transform, in place.
void Apply(const Transform& t, uint8_t* pixels, size_t n, std::vector<uint8_t>& scratch)
{
    if (t.shaper)
    {
        ApplyShaper(*t.shaper, pixels, n);
        return;
    }
    if (t.input != Transform::kGray)
    {
        cmsDoTransform(t.handle, pixels, pixels, cmsUInt32Number(n));
        if (t.input == Transform::kInks)
            for (size_t i = 0; i < n; i++)
                pixels[4 * i + 3] = 0xFF;
        return;
    }
    scratch.resize(5 * n);
    uint8_t* gray = scratch.data();
    uint8_t* out = gray + n;
    for (size_t i = 0; i < n; i++)
        gray[i] = pixels[4 * i + 1];
    cmsDoTransform(t.handle, gray, out, cmsUInt32Number(n));
    for (size_t i = 0; i < n; i++)
        std::memcpy(pixels + 4 * i, out + 4 * i, 3);
}

/// Pictures smaller than this many pixels are converted on the calling thread.
constexpr size_t kPixelsPerThread = 1u << 18;

void Convert(CBmp& bmp, const Transform& t)
{
    if (bmp.GetBitsPerPixel() != 32)
    {
        std::vector<uint8_t> scratch;
        if (PaletteEntry* pal = bmp.GetPaletteTable())
            Apply(t, reinterpret_cast<uint8_t*>(pal), size_t(bmp.GetPaletteSize()), scratch);
        return;
    }
    // Bands of rows on threads of their own: the transform is shared and
    // read-only, each pixel independent of the others.
    uint8_t** lines = bmp.GetLineArray();
    const int height = bmp.GetHeight();
    const size_t width = size_t(bmp.GetWidth());
    const size_t pixels = width * size_t(height);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int bands = int(std::clamp<size_t>(pixels / kPixelsPerThread, 1,
                                             std::min<size_t>({cores, 16, size_t(height)})));
    const auto band = [&](int k)
    {
        std::vector<uint8_t> scratch;
        const int last = int((long long)height * (k + 1) / bands);
        for (int y = int((long long)height * k / bands); y < last; y++)
            Apply(t, lines[y], width, scratch);
    };
    std::vector<std::thread> threads;
    for (int k = 1; k < bands; k++)
    {
        try
        {
            threads.emplace_back(band, k);
        }
        catch (const std::system_error&)
        {
            band(k); // no thread to be had: this one does the band
        }
    }
    band(0);
    for (std::thread& thread : threads)
        thread.join();
}

bool IsSrgbDescription(cmsHPROFILE profile)
{
    char text[64] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    return std::strncmp(text, "sRGB IEC61966-2", 15) == 0 || std::strcmp(text, "sRGB") == 0 ||
           std::strcmp(text, "sRGB built-in") == 0;
}

/// The profile of the bytes, or null for one that says it is sRGB: data in
/// sRGB needs no conversion.
cmsHPROFILE OpenIcc(const uint8_t* data, size_t size)
{
    cmsHPROFILE profile = cmsOpenProfileFromMem(data, cmsUInt32Number(size));
    if (profile && IsSrgbDescription(profile))
    {
        cmsCloseProfile(profile);
        return nullptr;
    }
    return profile;
}

std::string Key(const char* kind, const uint8_t* data, size_t size)
{
    return std::string(kind) + ':' + std::string(reinterpret_cast<const char*>(data), size);
}

/// White point (D65) and primaries of sRGB, as x and y.
constexpr double kSrgbChromaticities[8] = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

bool IsSrgbChromaticities(const double* c)
{
    for (int i = 0; i < 8; i++)
        if (std::fabs(c[i] - kSrgbChromaticities[i]) > 0.01)
            return false;
    return true;
}

/// A profile of the white point and primaries c (x and y each, as
/// kSrgbChromaticities) with the tone curve, which it takes over; gray
/// profiles use only the white point.
cmsHPROFILE MakeProfile(const double* c, cmsToneCurve* curve, bool gray)
{
    if (!curve)
        return nullptr;
    cmsHPROFILE profile = nullptr;
    const cmsCIExyY white{c[0], c[1], 1.0};
    if (gray)
        profile = cmsCreateGrayProfile(&white, curve);
    else
    {
        const cmsCIExyYTRIPLE primaries{{c[2], c[3], 1.0}, {c[4], c[5], 1.0}, {c[6], c[7], 1.0}};
        cmsToneCurve* curves[3] = {curve, curve, curve};
        profile = cmsCreateRGBProfile(&white, &primaries, curves);
    }
    cmsFreeToneCurve(curve);
    return profile;
}

/// The display's profile bytes, empty for sRGB; guarded by its mutex.
std::mutex g_displayLock;
std::string g_display;

/// Profiles beyond this are not photos' profiles but an attack on the parser.
constexpr size_t kMaxProfileBytes = 16u << 20;
} // namespace

void CColourManager::SetEnabled(bool enabled)
{
    g_enabled = enabled;
}

bool CColourManager::IsEnabled()
{
    return g_enabled;
}

namespace
{
bool CanConvert(const CBmp& bmp)
{
    return CColourManager::IsEnabled() &&
           (bmp.GetBitsPerPixel() == 32 || bmp.GetBitsPerPixel() == 8);
}

/// An ICC header is 128 bytes and starts with the profile's own size.
bool PlausibleProfile(const uint8_t* icc, size_t size)
{
    return icc && size >= 132 && size <= kMaxProfileBytes;
}

bool Run(CBmp& bmp, const TransformPtr& t, const char* what)
{
    if (!t)
        return false;
    CPicDecoder::Trace(2, what);
    Convert(bmp, *t);
    return true;
}

/// A tone curve of the H.273 transfer characteristics, or null for those
/// left as they are (the HDR curves, and unknown ones).
cmsToneCurve* TransferCurve(int transfer)
{
    switch (transfer)
    {
    case 1: case 2: case 6: case 13: case 14: case 15:
    {
        // sRGB's own curve; the video curves of BT.709 and BT.2020 as
        // displays show stills encoded with them, and so unspecified.
        const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(nullptr, 4, srgb);
    }
    case 4:
        return cmsBuildGamma(nullptr, 2.2);
    case 5:
        return cmsBuildGamma(nullptr, 2.8);
    case 8:
        return cmsBuildGamma(nullptr, 1.0);
    default:
        return nullptr;
    }
}

/// The white point and primaries of the H.273 colour primaries, as
/// kSrgbChromaticities, or null for unknown ones.
const double* Primaries(int primaries)
{
    static constexpr double kBt470m[8] = {0.310, 0.316, 0.67, 0.33, 0.21, 0.71, 0.14, 0.08};
    static constexpr double kBt601[8] = {0.3127, 0.3290, 0.64, 0.33, 0.29, 0.60, 0.15, 0.06};
    static constexpr double kSmpte170[8] = {0.3127, 0.3290, 0.630, 0.340, 0.310, 0.595, 0.155, 0.070};
    static constexpr double kBt2020[8] = {0.3127, 0.3290, 0.708, 0.292, 0.170, 0.797, 0.131, 0.046};
    static constexpr double kDciP3[8] = {0.314, 0.351, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    static constexpr double kDisplayP3[8] = {0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    switch (primaries)
    {
    case 1:
    case 2: // unspecified
        return kSrgbChromaticities;
    case 4:
        return kBt470m;
    case 5:
        return kBt601;
    case 6:
    case 7:
        return kSmpte170;
    case 9:
        return kBt2020;
    case 11:
        return kDciP3;
    case 12:
        return kDisplayP3;
    default:
        return nullptr;
    }
}
} // namespace

std::shared_ptr<const CColourTransform> CColourManager::ProfileTransform(const uint8_t* icc,
                                                                        size_t size)
{
    if (!IsEnabled() || !PlausibleProfile(icc, size) || IsCmykProfile(icc, size))
        return nullptr;
    SilenceLcms();
    return Cache().Get(Key("icc", icc, size),
                       [&] { return Build(OpenIcc(icc, size), cmsCreate_sRGBProfile()); });
}

void CColourManager::ConvertPixels(const CColourTransform& transform, uint8_t* bgra, size_t n)
{
    std::vector<uint8_t> scratch;
    Apply(transform, bgra, n, scratch);
}

bool CColourManager::ProfileToSrgb(CBmp& bmp, const uint8_t* icc, size_t size)
{
    return CanConvert(bmp) &&
           Run(bmp, ProfileTransform(icc, size), "Converting the colour profile to sRGB.\n");
}

bool CColourManager::IsCmykProfile(const uint8_t* icc, size_t size)
{
    return PlausibleProfile(icc, size) && std::memcmp(icc + 16, "CMYK", 4) == 0;
}

void CColourManager::CmykToSrgb(CBmp& bmp, const uint8_t* icc, size_t size, bool inverted)
{
    if (bmp.GetBitsPerPixel() != 32)
        return;
    if (IsEnabled() && IsCmykProfile(icc, size))
    {
        SilenceLcms();
        const TransformPtr t =
            Cache().Get(Key(inverted ? "cmyk-inverted" : "cmyk", icc, size),
                        [&] { return Build(OpenIcc(icc, size), cmsCreate_sRGBProfile(), inverted); });
        if (Run(bmp, t, "Converting the CMYK profile to sRGB.\n"))
            return;
    }
    // No profile to go by: each ink takes away its share of the light left
    // by black, the naive conversion (no ink limits, no dot gain), which
    // shows a press file's colours more saturated than a press prints them.
    const unsigned flip = inverted ? 0 : 0xFF;
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < bmp.GetHeight(); y++)
        for (uint8_t *p = lines[y], *end = p + 4 * size_t(bmp.GetWidth()); p < end; p += 4)
        {
            const unsigned c = p[0] ^ flip, m = p[1] ^ flip, ye = p[2] ^ flip, k = p[3] ^ flip;
            p[0] = uint8_t((ye * k + 127) / 255);
            p[1] = uint8_t((m * k + 127) / 255);
            p[2] = uint8_t((c * k + 127) / 255);
            p[3] = 0xFF;
        }
}

bool CColourManager::NclxToSrgb(CBmp& bmp, int primaries, int transfer)
{
    const double* c = Primaries(primaries);
    if (!CanConvert(bmp) || !c)
        return false;
    const bool srgbCurve = transfer == 1 || transfer == 2 || transfer == 6 || transfer == 13 ||
                           transfer == 14 || transfer == 15;
    if (c == kSrgbChromaticities && srgbCurve)
        return false;
    SilenceLcms();
    const TransformPtr t =
        Cache().Get("nclx " + std::to_string(primaries) + ' ' + std::to_string(transfer),
                    [&] {
                        return Build(MakeProfile(c, TransferCurve(transfer), false),
                                     cmsCreate_sRGBProfile());
                    });
    return Run(bmp, t, "Converting the nclx colours to sRGB.\n");
}

bool CColourManager::SetDisplayProfile(const uint8_t* icc, size_t size)
{
    std::string bytes;
    if (PlausibleProfile(icc, size))
    {
        SilenceLcms();
        // Only an RGB profile of a display that is not sRGB is worth a conversion.
        ProfilePtr profile(OpenIcc(icc, size), cmsCloseProfile);
        if (profile && cmsGetColorSpace(profile.get()) == cmsSigRgbData &&
            (cmsGetDeviceClass(profile.get()) == cmsSigDisplayClass ||
             cmsGetDeviceClass(profile.get()) == cmsSigColorSpaceClass) &&
            Build(cmsCreate_sRGBProfile(), cmsOpenProfileFromMem(icc, cmsUInt32Number(size))))
            bytes.assign(reinterpret_cast<const char*>(icc), size);
    }
    std::lock_guard lock(g_displayLock);
    g_display = std::move(bytes);
    return !g_display.empty();
}

bool CColourManager::HasDisplayProfile()
{
    std::lock_guard lock(g_displayLock);
    return IsEnabled() && !g_display.empty();
}

bool CColourManager::SrgbToDisplay(CBmp& bmp)
{
    std::string display;
    {
        std::lock_guard lock(g_displayLock);
        display = g_display;
    }
    if (!CanConvert(bmp) || display.empty())
        return false;
    const auto* data = reinterpret_cast<const uint8_t*>(display.data());
    const TransformPtr t = Cache().Get(Key("display", data, display.size()), [&] {
        return Build(cmsCreate_sRGBProfile(), cmsOpenProfileFromMem(data, cmsUInt32Number(display.size())));
    });
    return Run(bmp, t, "Converting sRGB to the display's profile.\n");
}

bool CColourManager::GammaToSrgb(CBmp& bmp, double gamma, const double* chromaticities)
{
    if (!CanConvert(bmp) || !(gamma > 0.01 && gamma < 100))
        return false;
    if (chromaticities)
        for (int i = 0; i < 8; i++)
            if (!(chromaticities[i] > 0 && chromaticities[i] <= 1) || (i % 2 && chromaticities[i] < 0.01))
                return false;
    // The gamma of sRGB-like files with sRGB's primaries (or none given):
    // what libpng and browsers take for sRGB, nothing to do.
    if (std::fabs(gamma - 1 / 2.2) < 0.005 && (!chromaticities || IsSrgbChromaticities(chromaticities)))
        return false;
    SilenceLcms();
    // Palette pictures of gray only are converted through a gray profile.
    bool gray = bmp.GetBitsPerPixel() == 8;
    for (int i = 0; gray && i < bmp.GetPaletteSize(); i++)
    {
        const PaletteEntry& e = bmp.GetPaletteTable()[i];
        gray = e.r == e.g && e.g == e.b;
    }
    char key[160];
    std::snprintf(key, sizeof key, "gAMA %.5f %d", gamma, int(gray));
    std::string name = key;
    if (chromaticities)
        for (int i = 0; i < 8; i++)
        {
            std::snprintf(key, sizeof key, " %.5f", chromaticities[i]);
            name += key;
        }
    // The decoding exponent is the inverse of the file gamma; without cHRM,
    // the primaries and white of sRGB.
    const TransformPtr t = Cache().Get(name, [&] {
        return Build(MakeProfile(chromaticities ? chromaticities : kSrgbChromaticities,
                                 cmsBuildGamma(nullptr, 1.0 / gamma), gray),
                     cmsCreate_sRGBProfile());
    });
    return Run(bmp, t, "Converting the gamma to sRGB.\n");
}
