#include "APNGAnimation.h"

#include "PicDecoder.h"

#include <png.h>
#include <zlib.h>

#include <cstring>

namespace
{
bool Is(const uint8_t* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

[[noreturn]] void Damaged(const char* what)
{
    CPicDecoder::RaiseError(2, std::string("Decoding apng: ") + what);
}

/// Calls fn(type, data, length) for each chunk after the signature until
/// IEND or the end of the data; a chunk running past the data ends the walk.
template <class Fn>
void ForEachChunk(const uint8_t* data, size_t size, Fn fn)
{
    for (size_t p = 8; size >= p && size - p >= 12;)
    {
        const uint32_t length = CDataSource::BE32At(data + p);
        const uint8_t* type = data + p + 4;
        if (length > size - p - 12 || Is(type, "IEND"))
            return;
        if (!fn(type, data + p + 8, size_t(length)))
            return;
        p += 12 + size_t(length);
    }
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t length)
{
    const size_t at = out.size();
    out.resize(at + 12 + length);
    uint8_t* p = out.data() + at;
    p[0] = uint8_t(length >> 24), p[1] = uint8_t(length >> 16), p[2] = uint8_t(length >> 8),
    p[3] = uint8_t(length);
    std::memcpy(p + 4, type, 4);
    if (length)
        std::memcpy(p + 8, data, length);
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), p + 4, uInt(4 + length)));
    p[8 + length] = uint8_t(crc >> 24), p[9 + length] = uint8_t(crc >> 16),
               p[10 + length] = uint8_t(crc >> 8), p[11 + length] = uint8_t(crc);
}

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
} // namespace

bool CAPNGAnimation::IsAnimated(const uint8_t* data, size_t size)
{
    bool animated = false;
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    ForEachChunk(data, size,
                 [&](const uint8_t* type, const uint8_t*, size_t)
                 {
                     animated = animated || Is(type, "acTL");
                     return !Is(type, "IDAT");
                 });
    return animated;
}

CAPNGAnimation::CAPNGAnimation(CDataSource& source) : CAnimation(source)
{
    const uint8_t* data = source.GetBufferPtr();
    const size_t size = source.GetRemaining();
    if (!IsAnimated(data, size))
        Damaged("The file is not animated.");
    int frames = 0, plays = 0;
    bool seenData = false;
    Frame* current = nullptr; // the frame whose data chunks follow
    uint32_t sequence = 0;
    ForEachChunk(
        data, size,
        [&](const uint8_t* type, const uint8_t* body, size_t length)
        {
            if (Is(type, "IHDR") && length == 13)
                m_Header = {body, length};
            else if (Is(type, "acTL") && length == 8)
            {
                frames = int(std::min<uint32_t>(CDataSource::BE32At(body), INT32_MAX));
                plays = int(std::min<uint32_t>(CDataSource::BE32At(body + 4), INT32_MAX));
            }
            else if (Is(type, "fcTL") && length == 26)
            {
                if (CDataSource::BE32At(body) != sequence++)
                    Damaged("Frame chunks out of sequence.");
                if (!m_Header.data)
                    Damaged("The header is missing.");
                Frame f;
                const uint32_t w = CDataSource::BE32At(body + 4), h = CDataSource::BE32At(body + 8),
                               x = CDataSource::BE32At(body + 12),
                               y = CDataSource::BE32At(body + 16);
                const uint32_t canvasW = CDataSource::BE32At(m_Header.data),
                               canvasH = CDataSource::BE32At(m_Header.data + 4);
                if (w == 0 || h == 0 || x > canvasW || w > canvasW - x ||
                    y > canvasH || h > canvasH - y)
                    Damaged("A frame lies outside the picture.");
                f.width = int(w), f.height = int(h), f.left = int(x), f.top = int(y);
                const unsigned num = unsigned(body[20] << 8 | body[21]);
                const unsigned den = unsigned(body[22] << 8 | body[23]);
                f.delayMs = int(num * 1000u / (den ? den : 100u));
                f.dispose = body[24] <= 2 ? body[24] : 0;
                f.blend = body[25] == 1 ? 1 : 0;
                // The first frame has nothing before it to go back to.
                if (m_Frames.empty() && f.dispose == 2)
                    f.dispose = 1;
                m_Frames.push_back(std::move(f));
                current = &m_Frames.back();
            }
            else if (Is(type, "IDAT"))
            {
                // Image data before any fcTL is a still picture outside the animation.
                seenData = true;
                if (current && m_Frames.size() == 1)
                    current->data.push_back({body, length});
            }
            else if (Is(type, "fdAT") && length > 4)
            {
                if (CDataSource::BE32At(body) != sequence++)
                    Damaged("Frame chunks out of sequence.");
                if (current && (m_Frames.size() > 1 || seenData))
                    current->data.push_back({body + 4, length - 4});
            }
            else if (!seenData && !Is(type, "acTL") && !Is(type, "fcTL") && !Is(type, "IHDR"))
                m_Shared.push_back({type - 4, length + 12});
            return true;
        });
    if (!m_Header.data)
        Damaged("The header is missing.");
    std::erase_if(m_Frames, [](const Frame& f) { return f.data.empty(); });
    if (m_Frames.empty())
        Damaged("The animation holds no frame.");
    const int width = int(std::min<uint32_t>(CDataSource::BE32At(m_Header.data), INT32_MAX));
    const int height = int(std::min<uint32_t>(CDataSource::BE32At(m_Header.data + 4), INT32_MAX));
    const size_t storage = CBmp::CheckSize(width, height, 32);
    // The canvas, the saved copy and the decoded frame.
    CPicDecoder::CheckBudget(storage, 2 * storage, "Decoding apng: Image too large to load.");
    m_Canvas.Create(width, height, 32, true);
    m_nFrameCount = std::min(frames, int(m_Frames.size()));
    m_nLoopCount = plays;
}

CAPNGAnimation::~CAPNGAnimation() = default;

void CAPNGAnimation::RestartFrames()
{
    m_nNext = 0;
    m_pShown = nullptr;
}

std::vector<uint8_t> CAPNGAnimation::FramePng(const Frame& frame) const
{
    std::vector<uint8_t> png(kSignature, kSignature + 8);
    uint8_t header[13];
    std::memcpy(header, m_Header.data, 13);
    for (int i = 0; i < 4; i++)
    {
        header[i] = uint8_t(uint32_t(frame.width) >> (24 - 8 * i));
        header[4 + i] = uint8_t(uint32_t(frame.height) >> (24 - 8 * i));
    }
    PutChunk(png, "IHDR", header, 13);
    for (const Span& chunk : m_Shared)
        png.insert(png.end(), chunk.data, chunk.data + chunk.size);
    for (const Span& part : frame.data)
        PutChunk(png, "IDAT", part.data, part.size);
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}

void CAPNGAnimation::Dispose()
{
    if (!m_pShown || m_pShown->dispose == 0)
        return;
    const Frame& f = *m_pShown;
    uint8_t** lines = m_Canvas.GetLineArray();
    for (int y = 0; y < f.height; y++)
    {
        uint8_t* dst = lines[f.top + y] + 4 * size_t(f.left);
        if (f.dispose == 1)
            std::memset(dst, 0, 4 * size_t(f.width));
        else
            std::memcpy(dst, m_Saved.GetLineArray()[y], 4 * size_t(f.width));
    }
}

bool CAPNGAnimation::ComposeNext(int& delayMs)
{
    if (m_nNext >= m_Frames.size())
        return false;
    const Frame& f = m_Frames[m_nNext];
    Dispose();
    m_pShown = nullptr;

    // libpng's simplified reader expands palettes, transparency and gray,
    // and writes bottom-up rows (a negative stride) as the bitmap keeps them.
    const std::vector<uint8_t> png = FramePng(f);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        CPicDecoder::RaiseError(2, std::string("Decoding apng: ") + image.message);
    image.format = PNG_FORMAT_BGRA;
    m_Decoded.Create(f.width, f.height, 32, true);
    if (!png_image_finish_read(&image, nullptr, m_Decoded.GetBits(), -m_Decoded.GetLineSize(),
                               nullptr))
    {
        png_image_free(&image);
        CPicDecoder::RaiseError(2, std::string("Decoding apng: ") + image.message);
    }

    MarkDrawn(f.left, f.top, f.left + f.width, f.top + f.height);
    uint8_t** lines = m_Canvas.GetLineArray();
    if (f.dispose == 2)
    {
        m_Saved.Create(f.width, f.height, 32, true);
        for (int y = 0; y < f.height; y++)
            std::memcpy(m_Saved.GetLineArray()[y], lines[f.top + y] + 4 * size_t(f.left),
                        4 * size_t(f.width));
    }
    for (int y = 0; y < f.height; y++)
    {
        const uint8_t* src = m_Decoded.GetLineArray()[y];
        uint8_t* dst = lines[f.top + y] + 4 * size_t(f.left);
        if (f.blend == 0)
        {
            std::memcpy(dst, src, 4 * size_t(f.width));
            continue;
        }
        // Over: the frame's colour weighted by its alpha, the canvas's by what is left.
        for (int x = 0; x < f.width; x++, src += 4, dst += 4)
        {
            const unsigned a = src[3], under = dst[3] * (255u - a) / 255u, out = a + under;
            if (out == 0)
                continue;
            for (int c = 0; c < 3; c++)
                dst[c] = uint8_t((src[c] * a + dst[c] * under + out / 2) / out);
            dst[3] = uint8_t(out);
        }
    }
    m_pShown = &f;
    m_nNext++;
    delayMs = f.delayMs;
    return true;
}
