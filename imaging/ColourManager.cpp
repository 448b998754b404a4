#include "ColourManager.h"

#include "Bmp.h"
#include "PicDecoder.h"

#include <lcms2.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{
std::atomic<bool> g_enabled{true};

using ProfilePtr = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

/// A transform into sRGB and whether it reads gray (then only byte 1 of a
/// pixel) or RGB. Shared: a transform without the one-pixel cache is
/// read-only once built.
struct Transform
{
    cmsHTRANSFORM handle = nullptr;
    bool gray = false;
    ~Transform()
    {
        if (handle)
            cmsDeleteTransform(handle);
    }
};

/// The transforms of the last few profiles, by the profile's bytes (or a
/// text standing for gamma and chromaticities). A null entry remembers a
/// profile that was refused.
class TransformCache
{
public:
    std::shared_ptr<const Transform> Get(const std::string& key, cmsHPROFILE (*make)(const void*),
                                         const void* arg)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& [k, t] : m_entries)
            if (k == key)
                return t;
        std::shared_ptr<const Transform> t = Build(make(arg));
        m_entries.emplace_back(key, t);
        if (m_entries.size() > kSize)
            m_entries.pop_front();
        return t;
    }

private:
    static constexpr size_t kSize = 16;

    static std::shared_ptr<const Transform> Build(cmsHPROFILE in)
    {
        if (!in)
            return nullptr;
        ProfilePtr input(in, cmsCloseProfile);
        const cmsColorSpaceSignature space = cmsGetColorSpace(in);
        if (space != cmsSigRgbData && space != cmsSigGrayData)
            return nullptr;
        // Only profiles that can turn data into colours: not a device link,
        // an abstract or an output-only profile.
        const cmsProfileClassSignature cls = cmsGetDeviceClass(in);
        if (cls != cmsSigInputClass && cls != cmsSigDisplayClass && cls != cmsSigColorSpaceClass)
            return nullptr;
        ProfilePtr srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
        auto t = std::make_shared<Transform>();
        t->gray = space == cmsSigGrayData;
        t->handle = cmsCreateTransform(in, t->gray ? TYPE_GRAY_8 : TYPE_BGRA_8, srgb.get(),
                                       TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                       cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA);
        return t->handle ? t : nullptr;
    }

    std::mutex m_mutex;
    std::deque<std::pair<std::string, std::shared_ptr<const Transform>>> m_entries;
};

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
    if (!t.gray)
    {
        cmsDoTransform(t.handle, pixels, pixels, cmsUInt32Number(n));
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

void Convert(CBmp& bmp, const Transform& t)
{
    std::vector<uint8_t> scratch;
    if (bmp.GetBitsPerPixel() == 32)
    {
        uint8_t** lines = bmp.GetLineArray();
        for (int y = 0; y < bmp.GetHeight(); y++)
            Apply(t, lines[y], size_t(bmp.GetWidth()), scratch);
    }
    else if (PaletteEntry* pal = bmp.GetPaletteTable())
        Apply(t, reinterpret_cast<uint8_t*>(pal), size_t(bmp.GetPaletteSize()), scratch);
}

bool IsSrgbDescription(cmsHPROFILE profile)
{
    char text[64] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    return std::strncmp(text, "sRGB IEC61966-2", 15) == 0 || std::strcmp(text, "sRGB") == 0 ||
           std::strcmp(text, "sRGB built-in") == 0;
}

struct IccBytes
{
    const uint8_t* data;
    size_t size;
};

cmsHPROFILE OpenIcc(const void* arg)
{
    const auto* icc = static_cast<const IccBytes*>(arg);
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc->data, cmsUInt32Number(icc->size));
    // A profile that says it is sRGB is left out: the data already is.
    if (profile && IsSrgbDescription(profile))
    {
        cmsCloseProfile(profile);
        return nullptr;
    }
    return profile;
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

struct GammaSpace
{
    double gamma;
    const double* chrm; // or null
    bool gray;
};

cmsHPROFILE MakeGammaProfile(const void* arg)
{
    const auto* g = static_cast<const GammaSpace*>(arg);
    // The decoding exponent is the inverse of the file gamma.
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0 / g->gamma);
    if (!curve)
        return nullptr;
    cmsHPROFILE profile = nullptr;
    // Without cHRM, the primaries and white of sRGB.
    const double* c = g->chrm ? g->chrm : kSrgbChromaticities;
    const cmsCIExyY white{c[0], c[1], 1.0};
    if (g->gray)
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

bool CColourManager::ProfileToSrgb(CBmp& bmp, const uint8_t* icc, size_t size)
{
    // An ICC header is 128 bytes and starts with the profile's own size.
    if (!IsEnabled() || !icc || size < 132 || size > kMaxProfileBytes ||
        (bmp.GetBitsPerPixel() != 32 && bmp.GetBitsPerPixel() != 8))
        return false;
    SilenceLcms();
    const IccBytes bytes{icc, size};
    const auto t =
        Cache().Get(std::string(reinterpret_cast<const char*>(icc), size), OpenIcc, &bytes);
    if (!t)
        return false;
    CPicDecoder::Trace(2, "Converting the colour profile to sRGB.\n");
    Convert(bmp, *t);
    return true;
}

bool CColourManager::GammaToSrgb(CBmp& bmp, double gamma, const double* chromaticities)
{
    if (!IsEnabled() || !(gamma > 0.01 && gamma < 100) ||
        (bmp.GetBitsPerPixel() != 32 && bmp.GetBitsPerPixel() != 8))
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
    const GammaSpace space{gamma, chromaticities, gray};
    char key[160];
    std::snprintf(key, sizeof key, "gAMA %.5f %d", gamma, int(gray));
    std::string name = key;
    if (chromaticities)
        for (int i = 0; i < 8; i++)
        {
            std::snprintf(key, sizeof key, " %.5f", chromaticities[i]);
            name += key;
        }
    const auto t = Cache().Get(name, MakeGammaProfile, &space);
    if (!t)
        return false;
    CPicDecoder::Trace(2, "Converting the gamma to sRGB.\n");
    Convert(bmp, *t);
    return true;
}
