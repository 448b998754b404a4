#pragma once
#include <cstddef>
#include <cstdint>

class CBmp;
class CPicDecoder;

/// The header of a JPEG file up to its first frame: the picture's size, and
/// from its APP1 Exif block the orientation and the small JPEG thumbnail that
/// cameras store beside the picture.
///
/// Every read is checked against the data; a damaged Exif block reads as one
/// without orientation or thumbnail, never as an error.
class CJpegHeader
{
public:
    /// Reads JPEG data as far as its first frame header; false when it is no
    /// JPEG or ends before one.
    bool Parse(const uint8_t* data, size_t size);
    /// Reads only an APP1 payload (starting with "Exif\0\0"); false when it is none.
    bool ParseExif(const uint8_t* data, size_t size);

    /// The picture's size once upright.
    int GetWidth() const;
    int GetHeight() const;
    /// The EXIF orientation (1 to 8), 1 when there is none.
    int GetOrientation() const { return m_nOrientation; }

    /// True when the Exif block holds a thumbnail lying wholly within it.
    bool HasThumbnail() const { return m_pThumb != nullptr; }
    /// The thumbnail's size once upright; 0 when its frame header is unreadable.
    int GetThumbnailWidth() const;
    int GetThumbnailHeight() const;
    /// Decodes the thumbnail into bmp with the decoder at the depth, turned
    /// upright by the picture's orientation (a thumbnail carries none of its
    /// own). Throws what the decoder throws, and code 1 when there is no
    /// thumbnail.
    void DecodeThumbnail(CPicDecoder& decoder, CBmp& bmp, int depth = 0) const;

private:
    int m_nWidth = 0; // stored sizes, before orientation
    int m_nHeight = 0;
    int m_nOrientation = 1;
    const uint8_t* m_pThumb = nullptr;
    size_t m_nThumbSize = 0;
    int m_nThumbWidth = 0;
    int m_nThumbHeight = 0;
};
