#include "Palette.h"

bool CPalette::CreatePalette(const QList<QRgb>& entries)
{
    m_entries = entries;
    m_bHalftone = false;
    return !m_entries.isEmpty();
}

bool CPalette::CreateHalftonePalette()
{
    m_entries.clear();
    m_bHalftone = true;
    return true;
}

void CPalette::DeleteObject()
{
    m_entries.clear();
    m_bHalftone = false;
}
