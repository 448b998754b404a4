#pragma once
// Builders for hand-made PICT files and the JPEG data they embed.
#include "TestSupport.h"
#include "TextException.h"

#include <array>
#include <optional>
#include <cstdint>
#include <vector>

namespace pict
{
using Rgb = std::array<uint8_t, 3>;

/// A version 2 picture: preamble, size, frame, version opcode, header opcode,
/// then body; `end` appends the end-of-picture opcode.
std::vector<uint8_t> V2(const test::Bytes& body, bool end = true);
/// A version 1 picture: preamble, size, frame, version, body, end.
std::vector<uint8_t> V1(const test::Bytes& body);

void Rect(test::Bytes& b, int top, int left, int bottom, int right);
/// The 36 bytes of a pixel map after its row size and bounds.
void PixMapHeader(test::Bytes& b, unsigned packType, int pixelSize, int cmpCount, int cmpSize);
/// A colour table with entry values 0, 1, 2 ...; 16-bit components repeat the byte.
void ColorTable(test::Bytes& b, const std::vector<Rgb>& colours);
/// src and dst rectangles (both the given one) and the copy mode.
void SrcDstMode(test::Bytes& b, int top, int left, int bottom, int right);
/// One PackBits row of literal packets behind its byte count.
void PackedRow(test::Bytes& b, const std::vector<uint8_t>& row, bool wordCount);

/// Decodes through CPictDecoder (with a JPEG decoder), whatever the size.
void Decode(const std::vector<uint8_t>& bytes, CBmp& bmp, int depth = 0);

/// Decodes a bare JPEG stream with CJPEGDecoder; returns its error, if any.
std::optional<CTextException> DecodeJpegStream(const std::vector<uint8_t>& stream, CBmp& bmp);

/// A baseline JPEG of w x h pixels: gray (1 byte per pixel) or RGB (3 bytes).
std::vector<uint8_t> EncodeJpeg(int w, int h, bool gray, const std::vector<uint8_t>& pixels);
} // namespace pict
