#include "BmpDecoder.h"

void CBmpDecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&)
{
    RaiseError(6, "Windows bitmap decoding is not available in this build.");
}
