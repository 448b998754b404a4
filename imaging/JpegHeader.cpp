#include "JpegHeader.h"

#include "DataSource.h"
#include "OrientedRows.h"
#include "PicDecoder.h"
#include "WinBmp.h"

#include <cstring>

namespace
{
constexpr uint16_t kThumbOffsetTag = 0x201; // JPEGInterchangeFormat
constexpr uint16_t kThumbLengthTag = 0x202; // JPEGInterchangeFormatLength
constexpr uint16_t kShort = 3, kLong = 4;
/// Entries beyond this in one directory are not looked at: a real one has a
/// few dozen, and a damaged count must not cost a long walk.
constexpr unsigned kMaxEntries = 1000;

/// Reads the TIFF structure of an Exif block in its own byte order.
class CTiffReader
{
public:
    CTiffReader(const uint8_t* data, size_t size, bool big) : m_bBig(big)
    {
        m_source.Open("Exif", data, size);
    }
    uint16_t U16At(size_t pos)
    {
        m_source.SetPos(pos);
        return m_bBig ? m_source.ReadBE16() : m_source.ReadLE16();
    }
    uint32_t U32At(size_t pos)
    {
        m_source.SetPos(pos);
        return m_bBig ? m_source.ReadBE32() : m_source.ReadLE32();
    }
    /// An entry's single SHORT or LONG value, or -1 for any other kind.
    int64_t ValueOf(size_t entry)
    {
        const uint16_t type = U16At(entry + 2);
        if (U32At(entry + 4) != 1)
            return -1;
        if (type == kShort)
            return U16At(entry + 8);
        if (type == kLong)
            return U32At(entry + 8);
        return -1;
    }

private:
    CDataSource m_source;
    bool m_bBig;
};

/// Frames: SOF0 to SOF15 but DHT, JPG and DAC.
bool IsFrame(uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
           marker != 0xCC;
}

/// Reads on to the next marker segment of JPEG data: its marker and its
/// payload. False at a scan or the end of the picture, or where the data is
/// no marker; throws code 11 where it ends early.
bool NextSegment(CDataSource& s, uint8_t& marker, const uint8_t*& payload, size_t& length)
{
    for (;;)
    {
        if (s.ReadByte() != 0xFF)
            return false;
        marker = s.ReadByte();
        while (marker == 0xFF) // fill bytes
            marker = s.ReadByte();
        if (marker == 0xDA || marker == 0xD9)
            return false;
        if (marker != 0x01 && (marker < 0xD0 || marker > 0xD7)) // those have no length
            break;
    }
    const uint16_t size = s.ReadBE16();
    if (size < 2)
        return false;
    length = size - 2u;
    payload = s.ReadBytes(length);
    return true;
}

/// Walks the segments of JPEG data to its first frame and reads the stored
/// size from it; calls onSegment(marker, payload, length) for each segment
/// before. False when there is no frame.
template <typename OnSegment>
bool ReadToFrame(const uint8_t* data, size_t size, int& width, int& height, OnSegment onSegment)
{
    CDataSource s;
    s.Open("JPEG", data, size);
    try
    {
        if (s.ReadBE16() != 0xFFD8)
            return false;
        uint8_t marker = 0;
        const uint8_t* payload = nullptr;
        size_t length = 0;
        while (NextSegment(s, marker, payload, length))
        {
            if (IsFrame(marker))
            {
                // Sample precision, then height and width.
                if (length < 5)
                    return false;
                height = int(CDataSource::BE32At(payload + 1) >> 16);
                width = int(CDataSource::BE32At(payload + 1) & 0xFFFF);
                return width > 0 && height > 0;
            }
            onSegment(marker, payload, length);
        }
    }
    catch (const CTextException&)
    {
        // Ended early: no frame.
    }
    return false;
}
} // namespace

bool CJpegHeader::ParseExif(const uint8_t* data, size_t size)
{
    *this = CJpegHeader();
    if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return false;
    const uint8_t* tiff = data + 6;
    const size_t tiffSize = size - 6;
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && (tiff[0] != 'I' || tiff[1] != 'I'))
        return false;
    m_nOrientation = COrientedRows::FromExif(tiff, tiffSize);
    CTiffReader r(tiff, tiffSize, big);
    try
    {
        if (r.U16At(2) != 42)
            return false;
        int64_t thumbOffset = -1, thumbLength = -1;
        size_t ifd = r.U32At(4);
        // The first directory describes the picture, the second its thumbnail.
        for (int dir = 0; dir < 2 && ifd != 0; dir++)
        {
            const unsigned count = r.U16At(ifd);
            if (count > kMaxEntries)
                break;
            for (unsigned i = 0; i < count; i++)
            {
                const size_t entry = ifd + 2 + 12 * size_t(i);
                const uint16_t tag = r.U16At(entry);
                if (dir == 1 && tag == kThumbOffsetTag)
                    thumbOffset = r.ValueOf(entry);
                else if (dir == 1 && tag == kThumbLengthTag)
                    thumbLength = r.ValueOf(entry);
            }
            const size_t next = r.U32At(ifd + 2 + 12 * size_t(count));
            if (next <= ifd) // directories only go forward: no loops
                break;
            ifd = next;
        }
        if (thumbOffset > 0 && thumbLength > 0 && uint64_t(thumbOffset) <= tiffSize &&
            uint64_t(thumbLength) <= tiffSize - uint64_t(thumbOffset))
        {
            m_pThumb = tiff + thumbOffset;
            m_nThumbSize = size_t(thumbLength);
            ReadToFrame(m_pThumb, m_nThumbSize, m_nThumbWidth, m_nThumbHeight,
                        [](uint8_t, const uint8_t*, size_t) {});
        }
    }
    catch (const CTextException&)
    {
        // A directory runs past the block: keep what was read before it.
    }
    return true;
}

bool CJpegHeader::Parse(const uint8_t* data, size_t size)
{
    *this = CJpegHeader();
    CJpegHeader exif;
    bool bExif = false;
    int width = 0, height = 0;
    if (!ReadToFrame(data, size, width, height,
                     [&](uint8_t marker, const uint8_t* payload, size_t length)
                     {
                         if (marker == 0xE1 && !bExif)
                             bExif = exif.ParseExif(payload, length);
                     }))
        return false;
    *this = exif;
    m_nWidth = width;
    m_nHeight = height;
    return true;
}

int CJpegHeader::GetWidth() const
{
    return COrientedRows::UprightWidth(m_nWidth, m_nHeight, m_nOrientation);
}

int CJpegHeader::GetHeight() const
{
    return COrientedRows::UprightHeight(m_nWidth, m_nHeight, m_nOrientation);
}

int CJpegHeader::GetThumbnailWidth() const
{
    return COrientedRows::UprightWidth(m_nThumbWidth, m_nThumbHeight, m_nOrientation);
}

int CJpegHeader::GetThumbnailHeight() const
{
    return COrientedRows::UprightHeight(m_nThumbWidth, m_nThumbHeight, m_nOrientation);
}

void CJpegHeader::DecodeThumbnail(CPicDecoder& decoder, CBmp& bmp, int depth) const
{
    if (!m_pThumb)
        CPicDecoder::RaiseError(1, "No Exif thumbnail.");
    CDataSource source;
    source.Open("Exif thumbnail", m_pThumb, m_nThumbSize);
    const bool apply = decoder.GetApplyOrientation();
    struct Restore
    {
        CPicDecoder& decoder;
        bool apply;
        ~Restore() { decoder.SetApplyOrientation(apply); }
    } restore{decoder, apply};
    decoder.SetApplyOrientation(false);
    if (!apply || m_nOrientation == 1)
    {
        decoder.DecodeSource(source, bmp, depth);
        return;
    }
    CWinBmp stored;
    decoder.DecodeSource(source, stored, depth);
    const int w = stored.GetWidth(), h = stored.GetHeight(), bpp = stored.GetBitsPerPixel();
    bmp.Create(COrientedRows::UprightWidth(w, h, m_nOrientation),
               COrientedRows::UprightHeight(w, h, m_nOrientation), bpp, stored.HasAlpha());
    if (bpp < 16)
        bmp.SetPalette(stored.GetPaletteTable());
    COrientedRows rows(bmp, w, h, m_nOrientation);
    uint8_t** lines = stored.GetLineArray();
    for (int y = 0; y < h; y++)
        rows.Put(y, 0, w, lines[y]);
}
