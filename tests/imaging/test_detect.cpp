#include "AnyPicDecoder.h"
#include "TestSupport.h"

#include <vector>

namespace
{
int Detect(const std::vector<uint8_t>& d)
{
    return CAnyPicDecoder::DetectFormat(d.data(), d.size());
}

std::vector<uint8_t> PictProbe(size_t size, std::vector<uint8_t> at522)
{
    std::vector<uint8_t> d(size, 0);
    std::copy(at522.begin(), at522.end(), d.begin() + 522);
    return d;
}
} // namespace

TEST(DetectFormat, SignaturesInOrder)
{
    EXPECT_EQ(Detect({'B', 'M'}), CAnyPicDecoder::kBmp);
    // "BM" wins whatever follows, even bytes that also look like Targa.
    std::vector<uint8_t> bm(32, 0);
    bm[0] = 'B';
    bm[1] = 'M';
    bm[2] = 2;
    bm[16] = 24;
    EXPECT_EQ(Detect(bm), CAnyPicDecoder::kBmp);
    EXPECT_EQ(Detect({0x49, 0x49, 0x2A, 0x00}), CAnyPicDecoder::kTiff);
    EXPECT_EQ(Detect({0x4D, 0x4D, 0x00, 0x2A}), CAnyPicDecoder::kTiff);
    EXPECT_EQ(Detect({0x49, 0x49, 0x2B, 0x00}), CAnyPicDecoder::kTiff); // BigTIFF
    EXPECT_EQ(Detect({0x4D, 0x4D, 0x00, 0x2B}), CAnyPicDecoder::kTiff);
    EXPECT_EQ(Detect({0xFF, 0xD8, 0xFF, 0xE0}), CAnyPicDecoder::kJpeg);
    EXPECT_EQ(Detect({0xFF, 0xD8, 0xFE, 0xE0}), CAnyPicDecoder::kUnknown);
    EXPECT_EQ(Detect({0x89, 'P', 'N', 'G', 13, 10, 26, 10}), CAnyPicDecoder::kPng);
    EXPECT_EQ(Detect({'G', 'I', 'F', '8', '7', 'a'}), CAnyPicDecoder::kGif);
    EXPECT_EQ(Detect({'G', 'I', 'F', '8', '9', 'a'}), CAnyPicDecoder::kGif);
    EXPECT_EQ(Detect({'G', 'I', 'F', '8', '8', 'a'}), CAnyPicDecoder::kUnknown);
    EXPECT_EQ(Detect({}), CAnyPicDecoder::kUnknown);
    EXPECT_EQ(Detect({'B'}), CAnyPicDecoder::kUnknown);
}

TEST(DetectFormat, TargaNeedsPlausibleHeader)
{
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2;   // true colour
    tga[16] = 24; // pixel depth
    EXPECT_EQ(Detect(tga), CAnyPicDecoder::kTga);
    tga[2] = 0; // type 0 passes detection; the decoder rejects it
    EXPECT_EQ(Detect(tga), CAnyPicDecoder::kTga);
    tga[2] = 4;
    EXPECT_NE(Detect(tga), CAnyPicDecoder::kTga);
    tga[2] = 10;
    tga[16] = 12;
    EXPECT_NE(Detect(tga), CAnyPicDecoder::kTga);
    tga[16] = 32;
    tga[1] = 2;
    EXPECT_NE(Detect(tga), CAnyPicDecoder::kTga);
    // Too short to hold the pixel-depth byte.
    EXPECT_EQ(Detect(std::vector<uint8_t>(tga.begin(), tga.begin() + 16)),
              CAnyPicDecoder::kUnknown);
}

TEST(DetectFormat, PictOnlyAbove540Bytes)
{
    EXPECT_EQ(Detect(PictProbe(540, {0x00, 0x11, 0x02, 0xFF})), CAnyPicDecoder::kUnknown);
    EXPECT_EQ(Detect(PictProbe(541, {0x00, 0x11, 0x02, 0xFF})), CAnyPicDecoder::kPict);
    EXPECT_EQ(Detect(PictProbe(600, {0x00, 0x11, 0x01, 0x77})), CAnyPicDecoder::kPict);
    EXPECT_EQ(Detect(PictProbe(600, {0x11, 0x01, 0x01, 0x00})), CAnyPicDecoder::kPict);
    EXPECT_EQ(Detect(PictProbe(600, {0x00, 0x11, 0x03, 0xFF})), CAnyPicDecoder::kUnknown);
}

TEST(DetectFormat, EpsNeedsOffsetAndLength)
{
    test::Bytes eps;
    eps.u8(0xC5).u8(0xD0).u8(0xD3).u8(0xC6).le32(30).le32(100).le32(0).le32(0).le32(30).le32(50);
    eps.le16(0xFFFF);
    EXPECT_EQ(Detect(eps.data), CAnyPicDecoder::kEpsTiff);
    std::vector<uint8_t> reversed = eps.data;
    reversed[0] = 0xC6;
    reversed[1] = 0xD3;
    reversed[2] = 0xD0;
    reversed[3] = 0xC5;
    EXPECT_EQ(Detect(reversed), CAnyPicDecoder::kEpsTiff);
    std::vector<uint8_t> noLength = eps.data;
    noLength[24] = 0;
    EXPECT_EQ(Detect(noLength), CAnyPicDecoder::kUnknown);
    std::vector<uint8_t> noOffset = eps.data;
    noOffset[20] = 0;
    EXPECT_EQ(Detect(noOffset), CAnyPicDecoder::kUnknown);
}

TEST(AnyPicDecoder, UnknownAndMisplacedEps)
{
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(test::DecodeBytes({0xFF, 0xD8, 0xFE, 1, 2, 3}, bmp), 8,
                        "Decoder error: Unknown file type.\n");
    // An EPS whose preview offset points past the end.
    test::Bytes eps;
    eps.u8(0xC5).u8(0xD0).u8(0xD3).u8(0xC6).le32(30).le32(10).le32(0).le32(0).le32(5000).le32(50);
    eps.le16(0xFFFF);
    EXPECT_DECODE_ERROR(test::DecodeBytes(eps.data, bmp), 11,
                        "End of file reached while decoding.\n");
}
