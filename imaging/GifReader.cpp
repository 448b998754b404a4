#include "GifReader.h"

#include "DataSource.h"
#include "PicDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>

CGifReader::CGifReader(const uint8_t* data, size_t size) : m_pData(data), m_Size(size)
{
    int error = 0;
    m_pGif = DGifOpen(this, OnRead, &error);
    if (!m_pGif)
        Raise(error);
}

CGifReader::~CGifReader()
{
    int error = 0;
    DGifCloseFile(m_pGif, &error);
}

int CGifReader::OnRead(GifFileType* gif, uint8_t* buffer, int n)
{
    auto* reader = static_cast<CGifReader*>(gif->UserData);
    const size_t count = std::min(size_t(std::max(n, 0)), reader->GetRemaining());
    if (count < size_t(n))
        reader->m_bRanOff = true;
    std::memcpy(buffer, reader->m_pData + reader->m_Pos, count);
    reader->m_Pos += count;
    return int(count);
}

void CGifReader::Raise(int error) const
{
    if (m_bRanOff || error == D_GIF_ERR_EOF_TOO_SOON)
        CDataSource::ThrowEndOfFile();
    const char* text = GifErrorString(error);
    const int code = error == D_GIF_ERR_NOT_GIF_FILE     ? 1
                     : error == D_GIF_ERR_NOT_ENOUGH_MEM ? 10
                                                         : 2;
    CPicDecoder::RaiseError(code, std::string("Decoding gif: ") + (text ? text : "unknown error"));
}

void CGifReader::Check(int result) const
{
    if (result == GIF_ERROR)
        Raise(m_pGif->Error);
}

bool CGifReader::NextImage(FrameControl& control, int* loopCount)
{
    control = FrameControl();
    for (;;)
    {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        Check(DGifGetRecordType(m_pGif, &type));
        if (type == TERMINATE_RECORD_TYPE)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
        {
            Check(DGifGetImageDesc(m_pGif));
            return true;
        }
        if (type != EXTENSION_RECORD_TYPE)
            continue;
        int code = 0;
        GifByteType* block = nullptr;
        Check(DGifGetExtension(m_pGif, &code, &block));
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                control = {gcb.TransparentColor, gcb.DisposalMode, 10 * gcb.DelayTime};
        }
        const bool netscape = code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11 &&
                              std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0;
        while (block)
        {
            Check(DGifGetExtensionNext(m_pGif, &block));
            // The loop sub-block: 1, then the count, low byte first.
            if (netscape && block && block[0] >= 3 && block[1] == 1 && loopCount)
                *loopCount = block[2] | block[3] << 8;
        }
    }
}

void CGifReader::ReadLine(uint8_t* line, int width)
{
    Check(DGifGetLine(m_pGif, line, width));
}

void CGifReader::GetPalette(PaletteEntry* pal, int transparent) const
{
    const ColorMapObject* map = m_pGif->Image.ColorMap ? m_pGif->Image.ColorMap : m_pGif->SColorMap;
    std::fill_n(pal, 256, PaletteEntry{0, 0, 0, 255});
    const int colours = map && map->Colors ? std::min(map->ColorCount, 256) : 0;
    for (int i = 0; i < colours; i++)
        pal[i] = PaletteEntry{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 255};
    if (transparent >= 0 && transparent < 256)
        pal[transparent].a = 0;
}
