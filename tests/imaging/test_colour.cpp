// Colour management: PNGs written with an iCCP chunk of a profile built by
// lcms2 (sRGB, Display P3, a linear gray) or with gAMA 1.0, CMYK JPEGs and
// TIFFs with a CMYK profile, sRGB to a display's profile and HEIF's nclx
// colours convert as lcms2's own transform does; a damaged profile is ignored.
#include "AnyPicDecoder.h"
#include "ColourManager.h"
#include "DIBSection.h"
#include "FixtureWriters.h"
#include "TestSupport.h"

#include <lcms2.h>
#include <png.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <optional>

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

namespace
{
/// A CMYK printer profile of lcms2's making: a table from the inks to Lab
/// that is not the naive conversion (cyan takes only 80% of the red, and
/// black leaves a little light), so that a decode through it shows.
std::vector<uint8_t> CmykProfile()
{
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 4.3);
    cmsSetDeviceClass(p, cmsSigOutputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    Profile srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
    Profile lab(cmsCreateLab4Profile(nullptr), cmsCloseProfile);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL,
                                             INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number
        {
            const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0;
            const double k = 0.9 * in[3] / 65535.0;
            const double rgb[3] = {(1 - 0.8 * c) * (1 - k), (1 - m) * (1 - k), (1 - y) * (1 - k)};
            cmsCIELab colour;
            cmsDoTransform(cargo, rgb, &colour, 1);
            cmsFloat2LabEncoded(out, &colour);
            return 1;
        },
        toLab, 0);
    cmsDeleteTransform(toLab);
    // A v4 table (mAB) needs curves around it: identities.
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, clut);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(p, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    return Save(p);
}

/// lcms2's own transform of n pixels from the profile (inks as stored when
/// inverted, or RGB) to sRGB, as RGB triples.
std::vector<uint8_t> Lcms2ToSrgb(const std::vector<uint8_t>& icc, cmsUInt32Number format,
                                 const uint8_t* in, size_t n)
{
    Profile from(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())), cmsCloseProfile);
    Profile srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
    std::vector<uint8_t> out(3 * n);
    cmsHTRANSFORM t =
        cmsCreateTransform(from.get(), format, srgb.get(), TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    EXPECT_NE(t, nullptr);
    if (t)
    {
        cmsDoTransform(t, in, out.data(), cmsUInt32Number(n));
        cmsDeleteTransform(t);
    }
    return out;
}

const uint8_t kInks[4][4] = {{255, 0, 0, 0}, {0, 200, 255, 0}, {0, 0, 0, 128}, {60, 120, 30, 40}};

/// The middle of each 16 x 16 patch of a 64 x 16 picture against expected RGB triples.
void ExpectPatches(const CBmp& bmp, const std::vector<uint8_t>& expected, int tolerance)
{
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    for (int patch = 0; patch < 4; patch++)
    {
        const uint8_t* p = bmp.GetLineArray()[8] + 4 * (patch * 16 + 8);
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(p[2 - c], expected[size_t(3 * patch + c)], tolerance)
                << "patch " << patch << " channel " << c;
        EXPECT_EQ(p[3], 0xFF);
    }
}
} // namespace

// CMYK JPEGs (plain and Adobe's inverted inks) and TIFFs with a CMYK profile
// show the colours lcms2 gives for their inks; without colour management,
// or with a damaged profile, the naive conversion.
TEST(Colour, CmykConvertsThroughItsProfile)
{
    const std::vector<uint8_t> cmyk = CmykProfile();
    std::vector<uint8_t> damaged = cmyk;
    for (size_t i = 128; i < damaged.size(); i += 2)
        damaged[i] ^= 0x5A;
    std::vector<uint8_t> naive;
    for (const auto& ink : kInks)
        for (int c : {0, 1, 2})
            naive.push_back(uint8_t((255 - ink[c]) * (255 - ink[3]) / 255));
    const std::vector<uint8_t> profiled = Lcms2ToSrgb(cmyk, TYPE_CMYK_8, &kInks[0][0], 4);
    struct Case
    {
        const char* name;
        bool tiff;
        bool adobe;
        const std::vector<uint8_t>* icc;
        bool managed;
        const std::vector<uint8_t>* expected;
    };
    const Case cases[] = {
        {"JPEG", false, false, &cmyk, true, &profiled},
        {"JPEG Adobe", false, true, &cmyk, true, &profiled},
        {"TIFF", true, false, &cmyk, true, &profiled},
        {"JPEG unmanaged", false, true, &cmyk, false, &naive},
        {"TIFF unmanaged", true, false, &cmyk, false, &naive},
        {"JPEG damaged profile", false, false, &damaged, true, &naive},
        {"TIFF damaged profile", true, false, &damaged, true, &naive},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> samples;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 64; x++)
                for (int k = 0; k < 4; k++)
                    samples.push_back(uint8_t(c.adobe ? 255 - kInks[x / 16][k] : kInks[x / 16][k]));
        std::vector<uint8_t> file;
        if (c.tiff)
        {
            test::TiffFixture tiff;
            tiff.width = 64;
            tiff.height = 16;
            tiff.samplesPerPixel = 4;
            tiff.photometric = 5; // separated
            tiff.icc = *c.icc;
            tiff.rows = samples;
            file = test::WriteTiff(tiff, test::TempDir());
        }
        else
        {
            test::JpegFixture jpeg;
            jpeg.width = 64;
            jpeg.height = 16;
            jpeg.components = 4;
            jpeg.adobeMarker = c.adobe;
            jpeg.quality = 100;
            jpeg.icc = *c.icc;
            jpeg.pixels = samples;
            file = test::WriteJpeg(jpeg);
        }
        std::optional<test::ColourManagementOff> off;
        if (!c.managed)
            off.emplace();
        CDIBSection bmp;
        test::DecodeBytes(file, bmp);
        ExpectPatches(bmp, *c.expected, c.tiff ? 1 : 3);
    }
}

// The display's profile: sRGB pictures convert to a Display P3 display as
// lcms2 converts them; a display profile that is sRGB, gray, damaged or
// absent converts nothing.
TEST(Colour, SrgbConvertsToTheDisplayProfile)
{
    std::vector<uint8_t> damaged = DisplayP3();
    for (size_t i = 128; i < damaged.size(); i += 3)
        damaged[i] ^= 0xA5;
    struct Case
    {
        const char* name;
        std::vector<uint8_t> icc;
        bool converts;
    };
    const Case cases[] = {
        {"Display P3", DisplayP3(), true},
        {"sRGB", Save(cmsCreate_sRGBProfile()), false},
        {"gray", LinearGray(), false},
        {"damaged", damaged, false},
        {"none", {}, false},
    };
    Profile srgb(cmsCreate_sRGBProfile(), cmsCloseProfile);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CColourManager::SetDisplayProfile(c.icc.data(), c.icc.size()), c.converts);
        EXPECT_EQ(CColourManager::HasDisplayProfile(), c.converts);
        // A large picture, so that it converts in bands on several threads.
        CDIBSection bmp;
        bmp.Create(1024, 768, 32, false);
        for (int y = 0; y < 768; y++)
            for (int x = 0; x < 1024; x++)
                std::memcpy(bmp.GetLineArray()[y] + 4 * x, &kColours[3 * size_t((x + y) % 8)], 3);
        EXPECT_EQ(CColourManager::SrgbToDisplay(bmp), c.converts);
        std::vector<uint8_t> expected(kColours.size());
        std::vector<uint8_t> bgr(kColours.size());
        for (size_t i = 0; i < 8; i++)
            for (size_t k = 0; k < 3; k++)
                bgr[3 * i + k] = kColours[3 * i + k];
        if (c.converts)
        {
            Profile to(cmsOpenProfileFromMem(c.icc.data(), cmsUInt32Number(c.icc.size())),
                       cmsCloseProfile);
            cmsHTRANSFORM t = cmsCreateTransform(srgb.get(), TYPE_BGR_8, to.get(), TYPE_BGR_8,
                                                 INTENT_PERCEPTUAL, 0);
            cmsDoTransform(t, bgr.data(), expected.data(), 8);
            cmsDeleteTransform(t);
        }
        else
            expected = bgr;
        for (int y : {0, 383, 767})
            for (int x = 0; x < 1024; x += 97)
            {
                const uint8_t* p = bmp.GetLineArray()[y] + 4 * x;
                const uint8_t* e = &expected[3 * size_t((x + y) % 8)];
                for (int k = 0; k < 3; k++)
                    ASSERT_NEAR(p[k], e[k], 1) << x << ", " << y << " byte " << k;
            }
    }
    // Off, even a display profile converts nothing.
    CColourManager::SetDisplayProfile(cases[0].icc.data(), cases[0].icc.size());
    {
        const test::ColourManagementOff off;
        EXPECT_FALSE(CColourManager::HasDisplayProfile());
    }
    CColourManager::SetDisplayProfile(nullptr, 0);
}

// HEIF's nclx description: Display P3 primaries with the sRGB curve convert
// as the Display P3 profile does; sRGB's own, the HDR curves and unknown
// values convert nothing.
TEST(Colour, NclxPrimariesAndTransferConvert)
{
    const std::vector<uint8_t> p3 = Lcms2ToSrgb(DisplayP3(), TYPE_RGB_8, kColours.data(), 8);
    struct Case
    {
        const char* name;
        int primaries;
        int transfer;
        bool converts;
    };
    const Case cases[] = {
        {"Display P3, sRGB curve", 12, 13, true},
        {"BT.709 primaries, sRGB curve", 1, 13, false},
        {"unspecified", 2, 2, false},
        {"BT.2020, PQ", 9, 16, false},
        {"unknown primaries", 99, 13, false},
        {"sRGB primaries, linear", 1, 8, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CDIBSection bmp;
        bmp.Create(8, 1, 32, false);
        for (int x = 0; x < 8; x++)
        {
            uint8_t* p = bmp.GetLineArray()[0] + 4 * x;
            for (int k = 0; k < 3; k++)
                p[2 - k] = kColours[size_t(3 * x + k)];
        }
        EXPECT_EQ(CColourManager::NclxToSrgb(bmp, c.primaries, c.transfer), c.converts);
        if (c.primaries != 12)
            continue;
        for (int x = 0; x < 8; x++)
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(bmp.GetLineArray()[0][4 * x + 2 - k], p3[size_t(3 * x + k)], 1);
    }
}
