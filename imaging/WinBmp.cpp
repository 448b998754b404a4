#include "WinBmp.h"

#include "PicDecoder.h"
#include "ResourceTable.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
/// Validates a packed DIB header and returns its 40-byte copy.
BitmapInfoHeader CheckedDibHeader(const uint8_t* pDib, size_t size)
{
    BitmapInfoHeader h;
    if (!pDib || size < sizeof h)
        CPicDecoder::RaiseError(11, "Packed bitmap is too short.");
    std::memcpy(&h, pDib, sizeof h);
    if (h.biSize != 40 || h.biWidth <= 0 || h.biHeight <= 0 ||
        (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 32))
        CPicDecoder::RaiseError(2, "Packed bitmap has an unsupported header.");
    return h;
}
} // namespace

CWinBmp::CWinBmp()
{
    CWinBmp::AllocateStorage(16, 16, 8, false);
}

CWinBmp::~CWinBmp()
{
    CWinBmp::FreeStorage();
}

int CWinBmp::GetLineSize() const
{
    return int(LineSizeFor(m_Width, m_bpp));
}

size_t CWinBmp::GetMemoryUse() const
{
    return size_t(GetLineSize()) * size_t(m_Height) + 40 + PaletteBytesFor(m_bpp) + sizeof(CWinBmp);
}

void CWinBmp::FillHeader(int width, int height, int bpp)
{
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = uint16_t(bpp);
    std::memcpy(m_pBMI, &h, sizeof h);
}

void CWinBmp::AllocateStorage(int width, int height, int bpp, bool alpha)
{
    const size_t total = 40 + PaletteBytesFor(bpp) + LineSizeFor(width, bpp) * size_t(height);
    // calloc: large blocks come as fresh zero pages at no cost, so unwritten
    // pixels are defined without a pass over the image.
    m_pBMI = static_cast<uint8_t*>(std::calloc(1, total));
    if (!m_pBMI)
        throw std::bad_alloc(); // reported by Create
    AdviseLargePages(m_pBMI, total);
    FillHeader(width, height, bpp);
    SetPointers(bpp);
    InitLocals(width, height, bpp, alpha);
}

void CWinBmp::SetPointers(int bpp)
{
    m_pClrTab = bpp < 16 ? reinterpret_cast<PaletteEntry*>(m_pBMI + 40) : nullptr;
    m_pBits = m_pBMI + 40 + PaletteBytesFor(bpp);
}

void CWinBmp::FreeStorage()
{
    std::free(m_pBMI);
    m_pBMI = nullptr;
    m_pClrTab = nullptr;
    m_pBits = nullptr;
    m_pLineArray.clear();
    m_pLineArray.shrink_to_fit();
}

void CWinBmp::BuildLineArray()
{
    const size_t lineSize = LineSizeFor(m_Width, m_bpp);
    m_pLineArray.resize(size_t(m_Height));
    for (int i = 0; i < m_Height; i++)
        m_pLineArray[size_t(i)] = m_pBits + size_t(m_Height - i - 1) * lineSize;
}

void CWinBmp::CreateFromBitmapResource(int id)
{
    const CResourceEntry* res = ResourceTable::Find(id, RT_BITMAP);
    if (!res)
        CPicDecoder::RaiseError(4, CPicDecoder::Format("Opening resource %i failed", id));
    CreateFromPackedDib(res->data, res->size);
}

void CWinBmp::CreateFromPackedDib(const uint8_t* pDib, size_t size)
{
    const BitmapInfoHeader h = CheckedDibHeader(pDib, size);
    const int bpp = h.biBitCount;
    const size_t palBytes = PaletteBytesFor(bpp);
    const size_t lineSize = LineSizeFor(h.biWidth, bpp);
    if (size < 40 + palBytes || lineSize > (size - 40 - palBytes) / size_t(h.biHeight))
        CPicDecoder::RaiseError(11, "Packed bitmap is too short.");
    // Create checks the size limits; then header, palette and rows are copied
    // so that the bitmap shows the packed DIB's own colours.
    Create(h.biWidth, h.biHeight, bpp, false);
    if (palBytes)
        std::memcpy(m_pClrTab, pDib + 40, palBytes);
    std::memcpy(m_pBits, pDib + 40 + palBytes, lineSize * size_t(h.biHeight));
}

std::vector<uint8_t> CWinBmp::CreateDibHandle() const
{
    const size_t headBytes = 40 + PaletteBytesFor(m_bpp);
    const size_t pixelBytes = size_t(GetLineSize()) * size_t(m_Height);
    std::vector<uint8_t> dib(headBytes + pixelBytes);
    std::memcpy(dib.data(), m_pBMI, headBytes);
    std::memcpy(dib.data() + headBytes, m_pBits, pixelBytes);
    return dib;
}

void CWinBmp::Draw(CDeviceContext& dc, int x, int y, uint32_t rop)
{
    dc.StretchBitmap(*this, CRect{x, y, x + m_Width, y + m_Height}, CRect{0, 0, m_Width, m_Height},
                     rop, false);
}

void CWinBmp::StretchDraw(CDeviceContext& dc, int x, int y, double factor, uint32_t rop)
{
    const int w = int(m_Width * factor);
    const int h = int(m_Height * factor);
    dc.StretchBitmap(*this, CRect{x, y, x + w, y + h}, CRect{0, 0, m_Width, m_Height}, rop, false);
}

void CWinBmp::DrawPart(CDeviceContext& dc, int x, int y, const CRect& src)
{
    dc.StretchBitmap(*this, CRect{x, y, x + src.Width(), y + src.Height()}, src, SRCCOPY, false);
}
