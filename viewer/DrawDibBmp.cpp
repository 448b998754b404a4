// Placeholder until the renderer lands: draws nothing.
#include "DrawDibBmp.h"

CDrawDibBmp::CDrawDibBmp() = default;
CDrawDibBmp::~CDrawDibBmp() = default;

int CDrawDibBmp::Render(QPainter&, const CRect*, const CRect*, bool, const CPalette*, bool)
{
    return 0;
}

void CDrawDibBmp::Draw(CDeviceContext&, int, int, uint32_t) {}
void CDrawDibBmp::StretchDraw(CDeviceContext&, int, int, double, uint32_t) {}
void CDrawDibBmp::DrawPart(CDeviceContext&, int, int, const CRect&) {}

const CPalette& CDrawDibBmp::GetPalette()
{
    return m_palette;
}

bool CDrawDibBmp::BuildPalette(CPalette&) const
{
    return false;
}

bool CDrawDibBmp::RebuildPalette()
{
    return false;
}

void CDrawDibBmp::FreeStorage()
{
    CDIBSection::FreeStorage();
}
