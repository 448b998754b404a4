#include "TIFFDecoder.h"

void CTIFFDecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&)
{
    RaiseError(6, "TIFF decoding is not available in this build.");
}
