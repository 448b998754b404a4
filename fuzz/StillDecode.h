#pragma once
// What the fuzz targets share: the input cap and the decode of a still
// picture at both depths, where every outcome but a CTextException is a
// finding.
#include "DIBSection.h"
#include "DataSource.h"
#include "TextException.h"

#include <cstddef>
#include <cstdint>

/// Larger inputs only slow the search down; the formats' structure fits in 1 MiB.
constexpr size_t kMaxFuzzInput = size_t(1) << 20;

/// Decodes the bytes with one decoder, whatever their signature, at
/// automatic and true-colour depth. The decoder lives for the whole run and
/// keeps the program's own decode budget: headers that claim huge pictures
/// must fail on the checks of the data against the header, not on a small
/// limit.
template <class Decoder> void DecodeStill(const uint8_t* data, size_t size)
{
    static Decoder decoder;
    CDIBSection bmp;
    CDataSource source;
    source.Open("fuzz", data, size);
    for (int depth : {0, 32})
    {
        try
        {
            source.SetPos(0);
            decoder.DecodeSource(source, bmp, depth);
        }
        catch (const CTextException&)
        {
        }
    }
}
