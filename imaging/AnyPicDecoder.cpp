#include "AnyPicDecoder.h"

#include "APNGAnimation.h"
#include "BmpDecoder.h"
#include "WinBmp.h"
#include "DataSource.h"
#include "FileSource.h"
#include "GIFAnimation.h"
#include "GIFDecoder.h"
#include "HEIFDecoder.h"
#include "JXLAnimation.h"
#include "JXLDecoder.h"
#include "JXLStream.h"
#include "JPEGDecoder.h"
#include "PNGDecoder.h"
#include "PictDecoder.h"
#include "TGADecoder.h"
#include "TIFFDecoder.h"
#include "WebPAnimation.h"
#include "WebPDecoder.h"

#include <webp/decode.h>

#include <algorithm>
#include <cstring>

namespace
{
bool IsTargaHeader(const uint8_t* d, size_t size)
{
    if (size < 17)
        return false;
    const uint8_t mapType = d[1], type = d[2], mapEntry = d[7], depth = d[16];
    const bool typeOk = type <= 3 || (type >= 9 && type <= 11);
    const bool mapEntryOk = mapEntry == 0 || mapEntry == 8 || mapEntry == 15 || mapEntry == 16 ||
                            mapEntry == 24 || mapEntry == 32;
    const bool depthOk = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return mapType <= 1 && typeOk && mapEntryOk && depthOk;
}

bool StartsWith(const uint8_t* d, size_t size, std::initializer_list<uint8_t> bytes)
{
    if (size < bytes.size())
        return false;
    size_t i = 0;
    for (uint8_t b : bytes)
        if (d[i++] != b)
            return false;
    return true;
}
/// An ISO base media file (HEIF) whose first box, the file type, names a
/// HEIC or AVIF brand as its major brand or among its compatible ones.
bool IsHeifHeader(const uint8_t* d, size_t size)
{
    if (size < 16 || std::memcmp(d + 4, "ftyp", 4) != 0)
        return false;
    const size_t boxSize = std::min<size_t>(CDataSource::BE32At(d), std::min<size_t>(size, 526));
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                          "mif1", "msf1", "avif", "avis"};
    // The major brand at 8, the minor version at 12, compatible brands from 16.
    for (size_t at = 8; at + 4 <= boxSize; at += at == 8 ? 8 : 4)
        for (const char* brand : kBrands)
            if (std::memcmp(d + at, brand, 4) == 0)
                return true;
    return false;
}
} // namespace

CAnyPicDecoder::CAnyPicDecoder()
{
    m_pBmpDec = std::make_unique<CBmpDecoder>();
    m_pTGADec = std::make_unique<CTGADecoder>();
    m_pTIFFDec = std::make_unique<CTIFFDecoder>();
    m_pJPEGDec = std::make_unique<CJPEGDecoder>();
    m_pPictDec = std::make_unique<CPictDecoder>(m_pJPEGDec.get());
    m_pPNGDec = std::make_unique<CPNGDecoder>();
    m_pGIFDec = std::make_unique<CGIFDecoder>();
    m_pWebPDec = std::make_unique<CWebPDecoder>();
    m_pHEIFDec = std::make_unique<CHEIFDecoder>();
    m_pJXLDec = std::make_unique<CJXLDecoder>();
}

CAnyPicDecoder::~CAnyPicDecoder() = default;

void CAnyPicDecoder::SetApplyOrientation(bool apply)
{
    CPicDecoder::SetApplyOrientation(apply);
    for (CPicDecoder* decoder :
         std::initializer_list<CPicDecoder*>{m_pBmpDec.get(), m_pJPEGDec.get(), m_pPictDec.get(),
                                             m_pTGADec.get(), m_pTIFFDec.get(), m_pPNGDec.get(),
                                             m_pHEIFDec.get(), m_pJXLDec.get()})
        decoder->SetApplyOrientation(apply);
}

void CAnyPicDecoder::DecodeFileScaled(const std::string& path, CBmp& bmp, int maxWidth,
                                      int maxHeight, int depth)
{
    maxWidth = std::max(maxWidth, 1);
    maxHeight = std::max(maxHeight, 1);
    struct FullSizeAgain
    {
        CJPEGDecoder* jpeg;
        ~FullSizeAgain() { jpeg->SetMaxSize(0, 0); }
    } fullSize{m_pJPEGDec.get()};
    m_pJPEGDec->SetMaxSize(maxWidth, maxHeight);
    DecodeFile(path, bmp, depth);
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    if (w <= maxWidth && h <= maxHeight)
        return;
    const double scale = std::min(double(maxWidth) / w, double(maxHeight) / h);
    CWinBmp reduced;
    reduced.ReduceFrom(bmp, std::clamp(int(w * scale + 0.5), 1, maxWidth),
                       std::clamp(int(h * scale + 0.5), 1, maxHeight));
    bmp.ConvertFrom(reduced);
}

int CAnyPicDecoder::DetectFormat(const uint8_t* d, size_t size)
{
    if (StartsWith(d, size, {'B', 'M'}))
        return kBmp;
    // Exact signatures of the newer formats come before the loose Targa test.
    if (size >= 12 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0)
        return kWebP;
    if (IsHeifHeader(d, size))
        return kHeif;
    // A bare codestream, or the container's signature box.
    if (StartsWith(d, size, {0xFF, 0x0A}) ||
        StartsWith(d, size, {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A}))
        return kJxl;
    if (IsTargaHeader(d, size))
        return kTga;
    // Classic TIFF and BigTIFF, in either byte order.
    if (StartsWith(d, size, {0x49, 0x49, 0x2A, 0x00}) ||
        StartsWith(d, size, {0x4D, 0x4D, 0x00, 0x2A}) ||
        StartsWith(d, size, {0x49, 0x49, 0x2B, 0x00}) ||
        StartsWith(d, size, {0x4D, 0x4D, 0x00, 0x2B}))
        return kTiff;
    if (size > 540)
    {
        // Just after the 512-byte preamble, the picture size and the frame.
        const uint8_t* v = d + 522;
        if ((v[0] == 0x00 && v[1] == 0x11 && v[2] == 0x02 && v[3] == 0xFF) ||
            (v[0] == 0x00 && v[1] == 0x11 && v[2] == 0x01) ||
            (v[0] == 0x11 && v[1] == 0x01 && v[2] == 0x01 && v[3] == 0x00))
            return kPict;
    }
    if (StartsWith(d, size, {0xFF, 0xD8, 0xFF}))
        return kJpeg;
    if (StartsWith(d, size, {0x89, 0x50, 0x4E, 0x47}))
        return kPng;
    if (StartsWith(d, size, {'G', 'I', 'F', '8', '7', 'a'}) ||
        StartsWith(d, size, {'G', 'I', 'F', '8', '9', 'a'}))
        return kGif;
    if ((StartsWith(d, size, {0xC5, 0xD0, 0xD3, 0xC6}) ||
         StartsWith(d, size, {0xC6, 0xD3, 0xD0, 0xC5})) &&
        size >= 28 && CDataSource::LE32At(d + 20) != 0 && CDataSource::LE32At(d + 24) != 0)
        return kEpsTiff;
    return kUnknown;
}

void CAnyPicDecoder::DecodeSource(CDataSource& source, CBmp& bmp, int depth)
{
    switch (DetectFormat(source.GetBufferPtr(), source.GetRemaining()))
    {
    case kBmp:
        Trace(2, "Windows bitmap recognized.\n");
        m_pBmpDec->DecodeSource(source, bmp, depth);
        break;
    case kPict:
        Trace(2, "Mac PICT recognized.\n");
        m_pPictDec->DecodeSource(source, bmp, depth);
        break;
    case kTga:
        Trace(2, "TGA file recognized.\n");
        m_pTGADec->DecodeSource(source, bmp, depth);
        break;
    case kTiff:
        Trace(2, "TIFF file recognized.\n");
        m_pTIFFDec->DecodeSource(source, bmp, depth);
        break;
    case kJpeg:
        Trace(2, "JPEG file recognized.\n");
        m_pJPEGDec->DecodeSource(source, bmp, depth);
        break;
    case kPng:
        Trace(2, "PNG file recognized.\n");
        m_pPNGDec->DecodeSource(source, bmp, depth);
        break;
    case kGif:
        Trace(2, "GIF file recognized.\n");
        m_pGIFDec->DecodeSource(source, bmp, depth);
        break;
    case kWebP:
        Trace(2, "WebP file recognized.\n");
        m_pWebPDec->DecodeSource(source, bmp, depth);
        break;
    case kHeif:
        Trace(2, "HEIF file recognized.\n");
        m_pHEIFDec->DecodeSource(source, bmp, depth);
        break;
    case kJxl:
        Trace(2, "JPEG XL file recognized.\n");
        m_pJXLDec->DecodeSource(source, bmp, depth);
        break;
    case kEpsTiff:
    {
        Trace(2, "TIFF preview in EPS file recognized.\n");
        // The preview's offset is counted from the start of the EPS header.
        const uint32_t offset = CDataSource::LE32At(source.GetBufferPtr() + 20);
        const size_t target = source.GetPos() + offset;
        if (offset > source.GetRemaining())
            CDataSource::ThrowEndOfFile();
        source.SetPos(target);
        m_pTIFFDec->DecodeSource(source, bmp, depth);
        break;
    }
    default:
        RaiseError(8, "Unknown file type.");
    }
}

std::unique_ptr<CAnimation> CAnyPicDecoder::OpenAnimation(CDataSource& source)
{
    const uint8_t* data = source.GetBufferPtr();
    const size_t size = source.GetRemaining();
    std::unique_ptr<CAnimation> animation;
    switch (DetectFormat(data, size))
    {
    case kGif:
        animation = std::make_unique<CGIFAnimation>(source);
        break;
    case kPng:
        if (CAPNGAnimation::IsAnimated(data, size))
            animation = std::make_unique<CAPNGAnimation>(source);
        break;
    case kWebP:
    {
        WebPBitstreamFeatures features;
        if (WebPGetFeatures(data, size, &features) == VP8_STATUS_OK && features.has_animation)
            animation = std::make_unique<CWebPAnimation>(source);
        break;
    }
    case kJxl:
        if (CJXLStream(data, size, GetApplyOrientation()).IsAnimated())
            animation = std::make_unique<CJXLAnimation>(source, GetApplyOrientation());
        break;
    default:
        break;
    }
    // One frame is a still picture. The animation starts before its first
    // frame again.
    if (!animation || !animation->NextFrame() || !animation->NextFrame())
        return nullptr;
    animation->Rewind();
    return animation;
}

std::unique_ptr<CAnimation> CAnyPicDecoder::OpenAnimation(const std::string& path)
{
    auto source = std::make_unique<CFileSource>();
    const int r = source->Open(path);
    if (r != 0)
        RaiseError(r, CPicDecoder::Format("Opening %s failed", path.c_str()));
    std::unique_ptr<CAnimation> animation = OpenAnimation(*source);
    if (animation)
        animation->TakeSource(std::move(source));
    return animation;
}
