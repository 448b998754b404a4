#include "PictTestFiles.h"

#include "DataSource.h"
#include "JPEGDecoder.h"
#include "PictDecoder.h"

#include <cstdio>
#include <jpeglib.h>

#include <stdexcept>

namespace pict
{
namespace
{
// Frame of every built picture; the decoder does not use it.
void Prologue(test::Bytes& b)
{
    b.fill(512).be16(0);
    Rect(b, 0, 0, 10, 10);
}
} // namespace

std::vector<uint8_t> V2(const test::Bytes& body, bool end)
{
    test::Bytes b;
    Prologue(b);
    b.be16(0x0011).be16(0x02FF);
    b.be16(0x0C00).fill(24);
    b.raw(body.data);
    if (end)
    {
        if (b.size() & 1)
            b.u8(0);
        b.be16(0x00FF);
    }
    return b.data;
}

std::vector<uint8_t> V1(const test::Bytes& body)
{
    test::Bytes b;
    Prologue(b);
    b.u8(0x11).u8(0x01);
    b.raw(body.data);
    b.u8(0xFF);
    return b.data;
}

void Rect(test::Bytes& b, int top, int left, int bottom, int right)
{
    b.be16(unsigned(top) & 0xFFFF)
        .be16(unsigned(left) & 0xFFFF)
        .be16(unsigned(bottom) & 0xFFFF)
        .be16(unsigned(right) & 0xFFFF);
}

void PixMapHeader(test::Bytes& b, unsigned packType, int pixelSize, int cmpCount, int cmpSize)
{
    b.be16(0).be16(packType).be32(0).be32(0x00480000).be32(0x00480000);
    b.be16(pixelSize > 8 ? 16 : 0).be16(unsigned(pixelSize)).be16(unsigned(cmpCount));
    b.be16(unsigned(cmpSize)).be32(0).be32(0).be32(0);
}

void ColorTable(test::Bytes& b, const std::vector<Rgb>& colours)
{
    b.be32(0).be16(0).be16(unsigned(colours.size()) - 1);
    for (size_t i = 0; i < colours.size(); i++)
    {
        b.be16(unsigned(i));
        for (uint8_t c : colours[i])
            b.be16(c * 0x101u);
    }
}

void SrcDstMode(test::Bytes& b, int top, int left, int bottom, int right)
{
    Rect(b, top, left, bottom, right);
    Rect(b, top, left, bottom, right);
    b.be16(0);
}

void PackedRow(test::Bytes& b, const std::vector<uint8_t>& row, bool wordCount)
{
    test::Bytes packets;
    for (size_t i = 0; i < row.size(); i += 128)
    {
        const size_t n = std::min<size_t>(128, row.size() - i);
        packets.u8(unsigned(n - 1));
        packets.raw(std::vector<uint8_t>(row.begin() + long(i), row.begin() + long(i + n)));
    }
    if (wordCount)
        b.be16(unsigned(packets.size()));
    else
        b.u8(unsigned(packets.size()));
    b.raw(packets.data);
}

void Decode(const std::vector<uint8_t>& bytes, CBmp& bmp, int depth)
{
    CJPEGDecoder jpeg;
    CPictDecoder decoder(&jpeg);
    CDataSource source;
    source.Open("memory", bytes.data(), bytes.size());
    decoder.DecodeSource(source, bmp, depth);
}

std::optional<CTextException> DecodeJpegStream(const std::vector<uint8_t>& stream, CBmp& bmp)
{
    try
    {
        CJPEGDecoder jpeg;
        CDataSource source;
        source.Open("stream", stream.data(), stream.size());
        jpeg.DecodeSource(source, bmp, 0);
    }
    catch (const CTextException& e)
    {
        return e;
    }
    return std::nullopt;
}

std::vector<uint8_t> EncodeJpeg(int w, int h, bool gray, const std::vector<uint8_t>& pixels)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = gray ? 1 : 3;
    cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(w) * (gray ? 1 : 3);
    while (cinfo.next_scanline < cinfo.image_height)
    {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> result(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return result;
}
} // namespace pict
