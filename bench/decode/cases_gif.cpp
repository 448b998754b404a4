// GIF files written with giflib's encoder (Qt has no GIF writer).
#include "Cases.h"
#include "Picture.h"

#include <gif_lib.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace
{
/// The picture's colour-cube indices as one frame, plainly or interlaced.
void WriteGif(const Picture& pic, const std::vector<uint8_t>& indices, const std::string& path,
              bool interlace)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif)
        throw std::runtime_error("cannot create " + path);
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; i++)
        Picture::PaletteColour(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    bool ok = EGifPutScreenDesc(gif, pic.width, pic.height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, pic.width, pic.height, interlace, nullptr) == GIF_OK;
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlace ? 4 : 1) && ok; pass++)
        for (int y = interlace ? kStart[pass] : 0; y < pic.height && ok;
             y += interlace ? kStep[pass] : 1)
            ok = EGifPutLine(
                     gif, const_cast<GifPixelType*>(indices.data() + size_t(y) * size_t(pic.width)),
                     pic.width) == GIF_OK;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK || !ok)
        throw std::runtime_error("cannot write " + path);
}
} // namespace

void AddGifCases(const CaseSetup& setup)
{
    const Picture pic(setup.width, setup.height);
    const std::vector<uint8_t> indices = pic.Indices();
    WriteGif(pic, indices, setup.dir + "/photo.gif", false);
    RegisterCase("GIF 8-bit", setup.dir + "/photo.gif");
    WriteGif(pic, indices, setup.dir + "/interlaced.gif", true);
    RegisterCase("GIF 8-bit interlaced", setup.dir + "/interlaced.gif");
    const std::vector<uint8_t> runs = pic.RunIndices();
    WriteGif(pic, runs, setup.dir + "/drawing.gif", false);
    RegisterCase("GIF 8-bit drawing", setup.dir + "/drawing.gif");
}
