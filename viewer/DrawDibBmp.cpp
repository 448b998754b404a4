#include "DrawDibBmp.h"

#include "ColourManager.h"
#include "PainterDC.h"

CDrawDibBmp::CDrawDibBmp() = default;
CDrawDibBmp::~CDrawDibBmp() = default;

int CDrawDibBmp::Render(QPainter& dc, const CRect* pDst, const CRect* pSrc, bool bUseDrawDib,
                        const CPalette* pPal, bool)
{
    if (!GetBitmapHandle())
        return 0;
    // Realising the palette (foreground or background) is a no-op on
    // true-colour screens; it is still built on first use.
    if (!pPal)
        GetPalette();
    const CRect src = pSrc ? *pSrc : CRect{0, 0, m_Width, m_Height};
    const CRect dst = pDst ? *pDst : src;
    if (!m_hDrawDib.Attach(*this))
        return 0;
    const bool drawn = m_hDrawDib.Draw(dc, dst, src, bUseDrawDib);
    return bUseDrawDib && drawn ? 1 : 0;
}

void CDrawDibBmp::DrawOn(CDeviceContext& dc, const CRect& dst, const CRect& src)
{
    if (auto* pPainterDC = dynamic_cast<CPainterDC*>(&dc))
        Render(pPainterDC->GetPainter(), &dst, &src, true, nullptr, false);
    else
        dc.StretchBitmap(*this, dst, src, SRCCOPY, true);
}

void CDrawDibBmp::Draw(CDeviceContext& dc, int x, int y, uint32_t)
{
    DrawOn(dc, CRect{x, y, x + m_Width, y + m_Height}, CRect{0, 0, m_Width, m_Height});
}

void CDrawDibBmp::StretchDraw(CDeviceContext& dc, int x, int y, double factor, uint32_t)
{
    const int w = int(m_Width * factor);
    const int h = int(m_Height * factor);
    DrawOn(dc, CRect{x, y, x + w, y + h}, CRect{0, 0, m_Width, m_Height});
}

void CDrawDibBmp::DrawPart(CDeviceContext& dc, int x, int y, const CRect& src)
{
    DrawOn(dc, CRect{x, y, x + src.Width(), y + src.Height()}, src);
}

const CPalette& CDrawDibBmp::GetPalette()
{
    if (m_palette.IsEmpty())
        BuildPalette(m_palette);
    return m_palette;
}

bool CDrawDibBmp::BuildPalette(CPalette& palette) const
{
    const PaletteEntry* table = GetPaletteTable();
    if (!table)
        return palette.CreateHalftonePalette();
    // Colour-table bytes are blue, green, red; palette entries red, green, blue.
    QList<QRgb> entries;
    entries.reserve(GetPaletteSize());
    for (int i = 0; i < GetPaletteSize(); i++)
        entries.append(qRgb(table[i].r, table[i].g, table[i].b));
    return palette.CreatePalette(entries);
}

bool CDrawDibBmp::RebuildPalette()
{
    m_palette.DeleteObject();
    return BuildPalette(m_palette);
}

void CDrawDibBmp::FreeStorage()
{
    // The wrapper points into the storage that is about to go.
    m_hDrawDib.Reset();
    CDIBSection::FreeStorage();
}

std::unique_ptr<CDrawDibBmp> CDrawDibBmp::ForDisplay(const CBmp& bmp)
{
    if (!CColourManager::HasDisplayProfile())
        return nullptr;
    auto pCopy = std::make_unique<CDrawDibBmp>();
    pCopy->ConvertFrom(bmp);
    if (!CColourManager::SrgbToDisplay(*pCopy))
        return nullptr;
    return pCopy;
}
