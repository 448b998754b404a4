// Windows bitmaps and Targa files, written byte by byte.
#include "Cases.h"
#include "Picture.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
struct Bytes
{
    std::vector<uint8_t> data;

    void U8(unsigned v) { data.push_back(uint8_t(v)); }
    void LE16(unsigned v)
    {
        U8(v & 0xFF);
        U8(v >> 8 & 0xFF);
    }
    void LE32(uint32_t v)
    {
        LE16(v & 0xFFFF);
        LE16(v >> 16);
    }
    void Append(const uint8_t* p, size_t n) { data.insert(data.end(), p, p + n); }
    void PadTo4()
    {
        while (data.size() % 4)
            U8(0);
    }
};

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data.data()), std::streamsize(bytes.data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

/// File header and 40-byte information header; the file size and pixel
/// offset are patched in by FinishBmp.
Bytes StartBmp(int width, int height, int bits, uint32_t compression, int colours)
{
    Bytes b;
    b.U8('B');
    b.U8('M');
    b.LE32(0);
    b.LE32(0);
    b.LE32(0);
    b.LE32(40);
    b.LE32(uint32_t(width));
    b.LE32(uint32_t(height)); // bottom-up
    b.LE16(1);
    b.LE16(unsigned(bits));
    b.LE32(compression);
    b.LE32(0);
    b.LE32(2835);
    b.LE32(2835);
    b.LE32(uint32_t(colours));
    b.LE32(0);
    for (int i = 0; i < colours; i++)
    {
        uint8_t r, g, bl;
        Picture::PaletteColour(i, r, g, bl);
        b.U8(bl);
        b.U8(g);
        b.U8(r);
        b.U8(0);
    }
    const uint32_t offBits = uint32_t(b.data.size());
    for (int i = 0; i < 4; i++)
        b.data[10 + i] = uint8_t(offBits >> 8 * i);
    return b;
}

void FinishBmp(Bytes& b)
{
    const uint32_t size = uint32_t(b.data.size());
    for (int i = 0; i < 4; i++)
        b.data[2 + i] = uint8_t(size >> 8 * i);
}

/// Row y of the picture as blue, green, red, the order both formats store.
void AppendBgrRow(Bytes& b, const Picture& pic, int y)
{
    const uint8_t* row = pic.rgb.data() + size_t(y) * size_t(pic.width) * 3;
    for (int x = 0; x < pic.width; x++)
    {
        b.U8(row[3 * x + 2]);
        b.U8(row[3 * x + 1]);
        b.U8(row[3 * x]);
    }
}

void WriteBmp24(const Picture& pic, const std::string& path)
{
    Bytes b = StartBmp(pic.width, pic.height, 24, 0, 0);
    for (int y = pic.height - 1; y >= 0; y--)
    {
        AppendBgrRow(b, pic, y);
        b.PadTo4();
    }
    FinishBmp(b);
    WriteFile(path, b);
}

void WriteBmp8(const Picture& pic, const std::vector<uint8_t>& indices, const std::string& path)
{
    Bytes b = StartBmp(pic.width, pic.height, 8, 0, 256);
    for (int y = pic.height - 1; y >= 0; y--)
    {
        b.Append(indices.data() + size_t(y) * size_t(pic.width), size_t(pic.width));
        b.PadTo4();
    }
    FinishBmp(b);
    WriteFile(path, b);
}

/// RLE8: runs of three or more as encoded runs, the pixels between them in
/// absolute mode (3 to 255 bytes, padded to a word) or as runs of one.
void EncodeRle8Row(Bytes& b, const uint8_t* row, int width)
{
    int x = 0;
    while (x < width)
    {
        int run = 1;
        while (x + run < width && run < 255 && row[x + run] == row[x])
            run++;
        if (run >= 3)
        {
            b.U8(unsigned(run));
            b.U8(row[x]);
            x += run;
            continue;
        }
        // Gather literals up to the next run of three.
        int end = x;
        while (end < width && end - x < 255 &&
               !(end + 2 < width && row[end] == row[end + 1] && row[end] == row[end + 2]))
            end++;
        const int n = end - x;
        if (n >= 3)
        {
            b.U8(0);
            b.U8(unsigned(n));
            b.Append(row + x, size_t(n));
            if (n & 1)
                b.U8(0);
        }
        else
        {
            for (int k = 0; k < n; k++)
            {
                b.U8(1);
                b.U8(row[x + k]);
            }
        }
        x = end;
    }
}

void WriteBmpRle8(const Picture& pic, const std::string& path)
{
    const std::vector<uint8_t> indices = pic.RunIndices();
    Bytes b = StartBmp(pic.width, pic.height, 8, 1, 256);
    for (int y = pic.height - 1; y >= 0; y--)
    {
        EncodeRle8Row(b, indices.data() + size_t(y) * size_t(pic.width), pic.width);
        b.U8(0);
        b.U8(y == 0 ? 1 : 0); // end of bitmap after the top row, else end of line
    }
    FinishBmp(b);
    WriteFile(path, b);
}

Bytes TgaHeader(const Picture& pic, int imageType)
{
    Bytes b;
    b.U8(0); // no image id
    b.U8(0); // no colour map
    b.U8(unsigned(imageType));
    for (int i = 0; i < 5; i++)
        b.U8(0);
    b.LE16(0);
    b.LE16(0);
    b.LE16(unsigned(pic.width));
    b.LE16(unsigned(pic.height));
    b.U8(24);
    b.U8(0); // bottom-up, left to right
    return b;
}

/// The version 2 footer, without which Qt's reader refuses the file.
void FinishTga(Bytes& b)
{
    b.LE32(0); // no extension area
    b.LE32(0); // no developer directory
    for (const char* p = "TRUEVISION-XFILE."; *p; p++)
        b.U8(uint8_t(*p));
    b.U8(0);
}

void WriteTga24(const Picture& pic, const std::string& path)
{
    Bytes b = TgaHeader(pic, 2);
    for (int y = pic.height - 1; y >= 0; y--)
    {
        AppendBgrRow(b, pic, y);
    }
    FinishTga(b);
    WriteFile(path, b);
}

/// Targa RLE of the run content in its palette colours, packets within rows.
void WriteTgaRle(const Picture& pic, const std::string& path)
{
    const std::vector<uint8_t> indices = pic.RunIndices();
    Bytes b = TgaHeader(pic, 10);
    auto pixel = [&b](uint8_t index)
    {
        uint8_t r, g, bl;
        Picture::PaletteColour(index, r, g, bl);
        b.U8(bl);
        b.U8(g);
        b.U8(r);
    };
    for (int y = pic.height - 1; y >= 0; y--)
    {
        const uint8_t* row = indices.data() + size_t(y) * size_t(pic.width);
        int x = 0;
        while (x < pic.width)
        {
            int run = 1;
            while (x + run < pic.width && run < 128 && row[x + run] == row[x])
                run++;
            if (run >= 2)
            {
                b.U8(unsigned(127 + run));
                pixel(row[x]);
                x += run;
                continue;
            }
            // Literals up to the next pair of equal pixels.
            int end = x;
            while (end < pic.width && end - x < 128 &&
                   !(end + 1 < pic.width && row[end] == row[end + 1]))
                end++;
            b.U8(unsigned(end - x - 1));
            for (int k = x; k < end; k++)
                pixel(row[k]);
            x = end;
        }
    }
    FinishTga(b);
    WriteFile(path, b);
}
} // namespace

void AddBmpTgaCases(const CaseSetup& setup)
{
    const Picture pic(setup.width, setup.height);
    const std::string& d = setup.dir;
    WriteBmp24(pic, d + "/rgb24.bmp");
    RegisterCase("BMP 24-bit", d + "/rgb24.bmp");
    WriteBmp8(pic, pic.Indices(), d + "/pal8.bmp");
    RegisterCase("BMP 8-bit palette", d + "/pal8.bmp");
    WriteBmpRle8(pic, d + "/rle8.bmp");
    RegisterCase("BMP RLE8", d + "/rle8.bmp");
    WriteTga24(pic, d + "/rgb24.tga");
    RegisterCase("Targa 24-bit", d + "/rgb24.tga");
    WriteTgaRle(pic, d + "/rle24.tga");
    RegisterCase("Targa RLE 24-bit", d + "/rle24.tga");
}
