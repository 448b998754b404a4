#include "PictDecoder.h"

void CPictDecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&)
{
    RaiseError(6, "PICT decoding is not available in this build.");
}
