#pragma once
#include <cstddef>
#include <cstdint>

#include "PaletteEntry.h"

struct GifFileType;

/// giflib over a byte range, record by record, for the still decoder and
/// the animation. Its read function never throws through giflib's frames:
/// running off the data is recorded and reported once giflib returns.
class CGifReader
{
public:
    /// What the extensions before an image say about it.
    struct FrameControl
    {
        int transparent = -1; // colour index, -1 for none
        int disposal = 0;     // 0 or 1 keep, 2 clear to transparent, 3 restore
        int delayMs = 0;
    };

    /// Opens the GIF at data; throws CTextException when it is not one.
    CGifReader(const uint8_t* data, size_t size);
    ~CGifReader();
    CGifReader(const CGifReader&) = delete;
    CGifReader& operator=(const CGifReader&) = delete;

    GifFileType* Get() const { return m_pGif; }
    size_t GetRemaining() const { return m_Size - m_Pos; }

    /// Reads the records up to the next image and its descriptor (then in
    /// Get()->Image). False at the end of the file. loopCount, when given,
    /// receives the NETSCAPE2.0 repeat count (0 for ever) if one is met.
    bool NextImage(FrameControl& control, int* loopCount = nullptr);
    /// The 256 colours of the current image (its own map, else the file's),
    /// alpha 0 for the transparent index. Colours beyond the map, and all of
    /// them without one, are opaque black.
    void GetPalette(PaletteEntry* pal, int transparent) const;
    /// Reads the next row of the current image into line.
    void ReadLine(uint8_t* line, int width);

    /// Raises the error giflib reported in `result` (GIF_ERROR) as ours:
    /// the end of the data as code 11, memory as 10.
    void Check(int result) const;
    [[noreturn]] void Raise(int error) const;

private:
    static int OnRead(GifFileType* gif, uint8_t* buffer, int n);

    const uint8_t* m_pData;
    size_t m_Size;
    size_t m_Pos = 0;
    bool m_bRanOff = false;
    GifFileType* m_pGif = nullptr;
};
