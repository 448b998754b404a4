#include "DIBSection.h"

#include <cstdlib>
#include <cstring>
#include <new>

CDIBSection::CDIBSection()
{
    // The base constructor made a single-block 16 x 16 bitmap; replace it
    // with this class's split storage.
    CWinBmp::FreeStorage();
    CDIBSection::AllocateStorage(16, 16, 8, false);
}

CDIBSection::~CDIBSection()
{
    CDIBSection::FreeStorage();
}

void CDIBSection::AllocateStorage(int width, int height, int bpp, bool alpha)
{
    m_pBMI = static_cast<uint8_t*>(std::calloc(1, 40 + PaletteBytesFor(bpp)));
    const size_t pixelBytes = LineSizeFor(width, bpp) * size_t(height);
    m_pBits = m_pBMI ? static_cast<uint8_t*>(std::calloc(1, pixelBytes)) : nullptr;
    if (m_pBits)
        AdviseLargePages(m_pBits, pixelBytes);
    if (!m_pBits)
    {
        std::free(m_pBMI);
        m_pBMI = nullptr;
        throw std::bad_alloc(); // reported by Create
    }
    FillHeader(width, height, bpp);
    SetPointers(bpp);
    InitLocals(width, height, bpp, alpha);
}

void CDIBSection::SetPointers(int bpp)
{
    // The pixels are the section's own block; only the palette is in the header block.
    m_pClrTab = bpp < 16 ? reinterpret_cast<PaletteEntry*>(m_pBMI + 40) : nullptr;
}

void CDIBSection::FreeStorage()
{
    std::free(m_pBits);
    m_pBits = nullptr;
    CWinBmp::FreeStorage();
}

void CDIBSection::ResetStorage()
{
    FreeStorage();
    AllocateStorage(16, 16, 8, false);
}
