#include "TGADecoder.h"

void CTGADecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&)
{
    RaiseError(6, "Targa decoding is not available in this build.");
}
