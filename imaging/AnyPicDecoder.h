#pragma once
#include "PicDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CBmpDecoder;
class CPictDecoder;
class CTGADecoder;
class CTIFFDecoder;
class CJPEGDecoder;
class CPNGDecoder;
class CGIFDecoder;
class CWebPDecoder;
class CHEIFDecoder;
class CJXLDecoder;
class CAnimation;
class CDataSource;

/// The decoder the program uses: detects the format from the first bytes and
/// hands the source to the decoder of that format.
class CAnyPicDecoder : public CPicDecoder
{
public:
    /// Formats returned by DetectFormat.
    enum Format
    {
        kUnknown = 0,
        kBmp = 1,
        kPict = 2,
        kTga = 3,
        kTiff = 4,
        kJpeg = 5,
        kPng = 6,
        kEpsTiff = 7,
        kGif = 8,
        kWebP = 9,
        kHeif = 10, // HEIC and AVIF
        kJxl = 11,
    };

    CAnyPicDecoder();
    ~CAnyPicDecoder() override;

    void DecodeSource(CDataSource& source, CBmp& bmp, int depth = 0) override;
    /// Decodes the file into a bitmap no larger than maxWidth x maxHeight, for
    /// previews and fit-to-window views of large pictures. JPEG files decode
    /// already reduced by libjpeg's DCT scaling (1/2 ... 1/8, to the smallest
    /// picture that still covers the size), other formats at full size; a
    /// picture still larger is then reduced by averaging, keeping its aspect
    /// ratio, into a 32-bit bitmap. One that fits comes back as DecodeFile
    /// gives it. Upright and failing as DecodeFile does.
    void DecodeFileScaled(const std::string& path, CBmp& bmp, int maxWidth, int maxHeight,
                          int depth = 0);
    /// Also sets it for every format's decoder.
    void SetApplyOrientation(bool apply) override;

    /// The format of the data; inspects at most the first 526 bytes.
    static int DetectFormat(const uint8_t* data, size_t size);

    /// The frames of an animated GIF, PNG, WebP or JPEG XL file, or null when the
    /// file holds a still picture (or one frame). The animation keeps the
    /// file mapped. Fails as DecodeFile does.
    std::unique_ptr<CAnimation> OpenAnimation(const std::string& path);
    /// The same over an open source; the animation reads it from its
    /// current position and does not own it.
    std::unique_ptr<CAnimation> OpenAnimation(CDataSource& source);

private:
    std::unique_ptr<CBmpDecoder> m_pBmpDec;
    std::unique_ptr<CJPEGDecoder> m_pJPEGDec; // before PICT, which uses it
    std::unique_ptr<CPictDecoder> m_pPictDec;
    std::unique_ptr<CTGADecoder> m_pTGADec;
    std::unique_ptr<CTIFFDecoder> m_pTIFFDec;
    std::unique_ptr<CPNGDecoder> m_pPNGDec;
    std::unique_ptr<CGIFDecoder> m_pGIFDec;
    std::unique_ptr<CWebPDecoder> m_pWebPDec;
    std::unique_ptr<CHEIFDecoder> m_pHEIFDec;
    std::unique_ptr<CJXLDecoder> m_pJXLDec;
};
