#include "PNGDecoder.h"

void CPNGDecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&)
{
    RaiseError(6, "PNG decoding is not available in this build.");
}
