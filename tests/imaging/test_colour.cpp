// Colour management: PNGs written with an iCCP chunk of a profile built by
// lcms2 (sRGB, Display P3, a linear gray) or with gAMA 1.0 decode to the
// colours lcms2's own transform to sRGB gives; a damaged profile is ignored.
#include "AnyPicDecoder.h"
#include "ColourManager.h"
#include "TestSupport.h"

#include <lcms2.h>
#include <png.h>
#include <zlib.h>

#include <cstdlib>

namespace
{
using Profile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

std::vector<uint8_t> Save(cmsHPROFILE p)
{
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    std::vector<uint8_t> bytes(n);
    cmsSaveProfileToMem(p, bytes.data(), &n);
    cmsCloseProfile(p);
    return bytes;
}

std::vector<uint8_t> DisplayP3()
{
    const cmsCIExyY white{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    // The sRGB curve: a parametric type 4 curve.
    const double params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, params);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", "Display P3");
    cmsWriteTag(p, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
    cmsFreeToneCurve(curve);
    return Save(p);
}

std::vector<uint8_t> LinearGray()
{
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), linear);
    cmsFreeToneCurve(linear);
    return Save(p);
}

/// An 8 x 1 RGB (or gray) PNG of known colours with the profile or gamma.
std::vector<uint8_t> WritePng(const std::vector<uint8_t>& rgb, bool gray,
                              const std::vector<uint8_t>& icc, double gamma)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 8;
    image.height = 1;
    image.format = gray ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_get_memory_size(image, size, 0, rgb.data(), 0, nullptr);
    std::vector<uint8_t> png(size);
    png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr);
    png.resize(size);
    // libpng's simplified writer marks the file as sRGB: those chunks go.
    for (size_t p = 8; p + 12 <= png.size();)
    {
        const size_t length = size_t(png[p]) << 24 | size_t(png[p + 1]) << 16 |
                              size_t(png[p + 2]) << 8 | png[p + 3];
        const std::string kind(png.begin() + std::ptrdiff_t(p + 4), png.begin() + std::ptrdiff_t(p + 8));
        if (kind == "sRGB" || kind == "gAMA" || kind == "cHRM")
            png.erase(png.begin() + std::ptrdiff_t(p), png.begin() + std::ptrdiff_t(p + 12 + length));
        else
            p += 12 + length;
    }
    // A chunk after IHDR (8 + 25 bytes): iCCP, or gAMA.
    std::vector<uint8_t> body;
    std::string type = icc.empty() ? "gAMA" : "iCCP";
    if (icc.empty())
    {
        const uint32_t g = uint32_t(gamma * 100000 + 0.5);
        body = {uint8_t(g >> 24), uint8_t(g >> 16), uint8_t(g >> 8), uint8_t(g)};
    }
    else
    {
        body = {'t', 0, 0};
        uLongf n = compressBound(uLong(icc.size()));
        std::vector<uint8_t> z(n);
        compress(z.data(), &n, icc.data(), uLong(icc.size()));
        body.insert(body.end(), z.begin(), z.begin() + std::ptrdiff_t(n));
    }
    test::Bytes chunk;
    chunk.be32(uint32_t(body.size())).raw({type.begin(), type.end()}).raw(body);
    chunk.be32(uint32_t(crc32(0, chunk.data.data() + 4, uInt(chunk.size() - 4))));
    png.insert(png.begin() + 33, chunk.data.begin(), chunk.data.end());
    return png;
}

const std::vector<uint8_t> kColours = {255, 0, 0, 0, 255, 0, 0, 0, 255, 200, 120, 40,
                                       10, 20, 30, 128, 128, 128, 250, 250, 250, 0, 0, 0};
const std::vector<uint8_t> kGrays = {0, 10, 40, 90, 128, 180, 220, 255};
} // namespace

TEST(Colour, ProfilesConvertAsLcms2Does)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> icc; // empty: gAMA
        bool gray;
        double gamma;
        bool converted; // false: the stored values stay
    };
    std::vector<uint8_t> damaged = DisplayP3();
    for (size_t i = 128; i < damaged.size(); i += 3)
        damaged[i] ^= 0xA5;
    std::vector<uint8_t> truncated = DisplayP3();
    truncated.resize(200);
    const Case cases[] = {
        {"sRGB", Save(cmsCreate_sRGBProfile()), false, 0, false},
        {"Display P3", DisplayP3(), false, 0, true},
        {"linear gray", LinearGray(), true, 0, true},
        {"gAMA 1.0", {}, false, 1.0, true},
        {"gAMA 1/2.2", {}, false, 1 / 2.2, false},
        {"damaged profile", damaged, false, 0, false},
        {"truncated profile", truncated, false, 0, false},
    };
    Profile srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t>& in = c.gray ? kGrays : kColours;
        CDIBSection bmp;
        test::DecodeBytes(WritePng(in, c.gray, c.icc, c.gamma), bmp, 32);
        const test::RgbaImage got = test::ToRgba(bmp);
        // lcms2's own transform of the same colours.
        std::vector<uint8_t> expected(24);
        if (!c.converted)
            for (size_t i = 0; i < 8; i++)
                for (size_t k = 0; k < 3; k++)
                    expected[3 * i + k] = c.gray ? in[i] : in[3 * i + k];
        else
        {
            Profile from(nullptr, cmsCloseProfile);
            if (c.icc.empty())
            {
                cmsToneCurve* curve = cmsBuildGamma(nullptr, 1 / c.gamma);
                cmsToneCurve* curves[3] = {curve, curve, curve};
                const cmsCIExyY white{0.3127, 0.3290, 1};
                const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
                from.reset(cmsCreateRGBProfile(&white, &primaries, curves));
                cmsFreeToneCurve(curve);
            }
            else
                from.reset(cmsOpenProfileFromMem(c.icc.data(), cmsUInt32Number(c.icc.size())));
            cmsHTRANSFORM t = cmsCreateTransform(from.get(), c.gray ? TYPE_GRAY_8 : TYPE_RGB_8,
                                                 srgb.get(), TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
            ASSERT_NE(t, nullptr);
            cmsDoTransform(t, in.data(), expected.data(), 8);
            cmsDeleteTransform(t);
        }
        for (size_t i = 0; i < 8; i++)
            for (size_t k = 0; k < 3; k++)
                EXPECT_NEAR(got.rgba[4 * i + k], expected[3 * i + k], 1) << "pixel " << i;
        // Off, nothing is converted.
        const test::ColourManagementOff off;
        test::DecodeBytes(WritePng(in, c.gray, c.icc, c.gamma), bmp, 32);
        EXPECT_EQ(test::ToRgba(bmp).rgba[0], in[0]);
    }
}
