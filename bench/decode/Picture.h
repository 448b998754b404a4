#pragma once
#include <cstdint>
#include <vector>

/// Photo-like test content: smooth colour gradients and soft blobs with a
/// little noise, so no codec finds it trivially compressible. Rows are top-down.
struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;   // width * height * 3: red, green, blue
    std::vector<uint8_t> alpha; // width * height
    std::vector<uint8_t> gray;  // width * height, luma of rgb

    Picture(int w, int h);

    /// Colour of palette index i of the 6 x 7 x 6 colour cube (252 entries, the rest black).
    static void PaletteColour(int i, uint8_t& r, uint8_t& g, uint8_t& b);
    /// rgb mapped onto the colour cube, the noise doing the dithering.
    std::vector<uint8_t> Indices() const;
    /// Palette indices in runs of 1 to 60 pixels, each run a shade near the
    /// last, as run-length encoders meet them in drawings.
    std::vector<uint8_t> RunIndices() const;
};
