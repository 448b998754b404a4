#pragma once
// Helpers shared by the codec tests: test-data paths, reference PNGs read
// with libpng's simplified API (independent of our PNG decoder), bitmaps
// flattened to RGBA, and decoding from memory.
#include "Bmp.h"
#include "DIBSection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test
{
/// Absolute path of a file below the repository's test-data folder.
std::string TestData(const std::string& relative);
/// Paths, relative to the test-data folder `folder` and sorted, of the files
/// below it whose names end in `ext`. A missing folder yields none (the test
/// TestData.SuiteFoldersArePresent names it), so that listing the cases
/// never aborts test discovery.
std::vector<std::string> SuiteFiles(const std::string& folder, const std::string& ext);
/// A fresh, empty scratch folder for the calling test.
std::string TempDir();

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

/// Top-down RGBA, 4 bytes per pixel, no padding.
struct RgbaImage
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* At(int x, int y) const
    {
        return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    }
};

/// Reads a PNG with libpng's simplified API as 8-bit RGBA, without gamma
/// conversion (its colour-space chunks are left out).
RgbaImage LoadPng(const std::string& path);
/// The bitmap's pixels as RGBA (palette looked up; alpha 255 unless the
/// bitmap's alpha flag is set).
RgbaImage ToRgba(const CBmp& bmp);

/// Pixels equal within `tolerance` per channel; `compareAlpha` false ignores
/// alpha, and with it two fully transparent pixels match whatever their colour.
::testing::AssertionResult ImagesMatch(const RgbaImage& expected, const RgbaImage& actual,
                                       int tolerance = 0, bool compareAlpha = true);

/// Decodes bytes through CAnyPicDecoder from a memory data source.
void DecodeBytes(const std::vector<uint8_t>& bytes, CBmp& bmp, int depth = 0);

/// Little-endian / big-endian byte writers for hand-built files.
struct Bytes
{
    std::vector<uint8_t> data;

    Bytes& u8(unsigned v);
    Bytes& le16(unsigned v);
    Bytes& le32(uint32_t v);
    Bytes& be16(unsigned v);
    Bytes& be32(uint32_t v);
    Bytes& raw(const std::vector<uint8_t>& v);
    Bytes& fill(size_t n, uint8_t v = 0);
    size_t size() const { return data.size(); }
};

/// Turns colour management off for its lifetime.
class ColourManagementOff
{
public:
    ColourManagementOff();
    ~ColourManagementOff();
    ColourManagementOff(const ColourManagementOff&) = delete;
    ColourManagementOff& operator=(const ColourManagementOff&) = delete;

private:
    bool m_bWasOn;
};

inline std::optional<std::string> OptionalText(const char* text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}
} // namespace test

/// Expects a CTextException with the given code (and text, when not null).
#define EXPECT_DECODE_ERROR(statement, code, text)                                                 \
    do                                                                                             \
    {                                                                                              \
        try                                                                                        \
        {                                                                                          \
            statement;                                                                             \
            ADD_FAILURE() << "expected CTextException " << (code);                                 \
        }                                                                                          \
        catch (const CTextException& e_)                                                           \
        {                                                                                          \
            EXPECT_EQ(e_.GetCode(), (code)) << e_.GetText();                                       \
            /* copied at once: the text may be a temporary's c_str() */                            \
            const std::optional<std::string> expected_ = test::OptionalText(text);                 \
            if (expected_)                                                                         \
            {                                                                                      \
                EXPECT_EQ(e_.GetText(), *expected_);                                               \
            }                                                                                      \
        }                                                                                          \
    } while (0)
