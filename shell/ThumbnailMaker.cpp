#include "ThumbnailMaker.h"

#include "AnyPicDecoder.h"
#include "FileSource.h"
#include "JpegHeader.h"
#include "NativePath.h"
#include "WinBmp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace
{
/// An Exif thumbnail whose shape differs from the picture's by more than
/// this has bars or is cropped: it stands in for nothing.
constexpr double kAspectTolerance = 0.02;

QString MimeTypeOf(int format)
{
    switch (format)
    {
    case CAnyPicDecoder::kBmp:
        return QStringLiteral("image/bmp");
    case CAnyPicDecoder::kPict:
        return QStringLiteral("image/x-pict");
    case CAnyPicDecoder::kTga:
        return QStringLiteral("image/x-tga");
    case CAnyPicDecoder::kTiff:
        return QStringLiteral("image/tiff");
    case CAnyPicDecoder::kJpeg:
        return QStringLiteral("image/jpeg");
    case CAnyPicDecoder::kPng:
        return QStringLiteral("image/png");
    case CAnyPicDecoder::kEpsTiff:
        return QStringLiteral("image/x-eps");
    case CAnyPicDecoder::kGif:
        return QStringLiteral("image/gif");
    default:
        return QString();
    }
}

/// The size w x h takes once fitted into size x size (never enlarged).
QSize Fitted(int w, int h, int size)
{
    if (w <= size && h <= size)
        return QSize(w, h);
    const double scale = std::min(double(size) / w, double(size) / h);
    return QSize(std::clamp(int(w * scale + 0.5), 1, size), std::clamp(int(h * scale + 0.5), 1, size));
}

/// The Exif thumbnail serves when it covers the thumbnail wanted and has
/// the picture's shape.
bool ExifServes(const CJpegHeader& header, int size)
{
    const int tw = header.GetThumbnailWidth(), th = header.GetThumbnailHeight();
    const int w = header.GetWidth(), h = header.GetHeight();
    if (!header.HasThumbnail() || tw <= 0 || th <= 0 || w <= 0 || h <= 0)
        return false;
    const QSize wanted = Fitted(w, h, size);
    const double aspect = double(tw) / th, pictureAspect = double(w) / h;
    return tw >= wanted.width() && th >= wanted.height() &&
           std::abs(aspect - pictureAspect) <= kAspectTolerance * pictureAspect;
}

/// A top-down copy of a 32-bit bitmap.
QImage ToImage(const CBmp& bmp)
{
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    QImage image(w, h, bmp.HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // Blue, green, red, alpha: Qt's 32-bit layout on little-endian machines.
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < h; y++)
        std::memcpy(image.scanLine(y), lines[y], 4 * size_t(w));
    return image;
}
} // namespace

CThumbnailMaker::CThumbnailMaker() : m_pDecoder(std::make_unique<CAnyPicDecoder>()) {}

CThumbnailMaker::~CThumbnailMaker() = default;

CThumbnailMaker::Thumbnail CThumbnailMaker::Make(const QString& path, int size)
{
    Thumbnail result;
    const std::string file = NativePath::Encode(path).toStdString();
    try
    {
        CWinBmp bmp;
        {
            CFileSource source;
            if (const int code = source.Open(file))
            {
                result.nCode = code;
                return result;
            }
            const int format = CAnyPicDecoder::DetectFormat(source.GetBufferPtr(),
                                                            source.GetRemaining());
            result.mimeType = MimeTypeOf(format);
            CJpegHeader header;
            if (format == CAnyPicDecoder::kJpeg &&
                header.Parse(source.GetBufferPtr(), source.GetRemaining()))
            {
                result.picture = QSize(header.GetWidth(), header.GetHeight());
                bool exifDone = false;
                if (ExifServes(header, size))
                {
                    try
                    {
                        header.DecodeThumbnail(*m_pDecoder, bmp, 32);
                        exifDone = true;
                    }
                    catch (const CTextException&)
                    {
                        // A damaged thumbnail: the picture itself serves.
                    }
                }
                result.bFromExif = exifDone;
                source.Close();
                if (!exifDone)
                    m_pDecoder->DecodeFileScaled(file, bmp, size, size, 32);
            }
            else
            {
                m_pDecoder->DecodeSource(source, bmp, 32);
                if (source.WasTruncated())
                    throw CTextException(11, kEndOfFileText);
                result.picture = QSize(bmp.GetWidth(), bmp.GetHeight());
            }
        }
        if (result.bFromExif)
        {
            // Exactly the size the picture itself would give.
            const QSize wanted = Fitted(result.picture.width(), result.picture.height(), size);
            CWinBmp reduced;
            reduced.ReduceFrom(bmp, std::min(wanted.width(), bmp.GetWidth()),
                               std::min(wanted.height(), bmp.GetHeight()));
            bmp.ConvertFrom(reduced);
        }
        else
            CAnyPicDecoder::ReduceToFit(bmp, size, size);
        CWinBmp wide;
        if (bmp.GetBitsPerPixel() != 32)
            wide.ConvertFrom(bmp, 32);
        result.image = ToImage(bmp.GetBitsPerPixel() == 32 ? bmp : wide);
        if (result.image.isNull())
            result.nCode = 10;
    }
    catch (const CTextException& e)
    {
        result.image = QImage();
        result.nCode = e.GetCode();
    }
    catch (const std::bad_alloc&)
    {
        result.image = QImage();
        result.nCode = 10;
    }
    return result;
}
