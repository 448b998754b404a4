#pragma once
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class CAnyPicDecoder;

/// Makes thumbnails with a decoder of its own (one maker per worker thread):
/// JPEGs from the camera's Exif thumbnail when that is at least as large as
/// the thumbnail asked for, else through libjpeg's DCT scaling; other
/// formats decoded and reduced at once, so no full-size bitmap outlives the
/// call. Pictures come upright, alpha kept (the view draws them over its
/// background), never enlarged, within the codec's resource limits.
class CThumbnailMaker
{
public:
    struct Thumbnail
    {
        QImage image;     // at most size x size; ARGB32 with alpha, else RGB32
        QSize picture;    // the picture's own size, upright
        QString mimeType; // of the format detected, or empty
        int nCode = 0;    // the decoder's error code when image is null
        bool bFromExif = false;
    };

    CThumbnailMaker();
    ~CThumbnailMaker();
    CThumbnailMaker(const CThumbnailMaker&) = delete;
    CThumbnailMaker& operator=(const CThumbnailMaker&) = delete;

    /// The thumbnail of the file (path with NativePath escapes) fitting
    /// size x size. On failure the image is null and nCode says why (3, 4, 5:
    /// the file cannot be opened; others: it cannot be decoded).
    Thumbnail Make(const QString& path, int size);

private:
    std::unique_ptr<CAnyPicDecoder> m_pDecoder;
};
