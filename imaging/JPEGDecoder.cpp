#include "JPEGDecoder.h"

struct CJPEGDecoder::Context
{
};

CJPEGDecoder::CJPEGDecoder() : m_pContext(std::make_unique<Context>()) {}

CJPEGDecoder::~CJPEGDecoder() = default;

void CJPEGDecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&)
{
    RaiseError(6, "JPEG decoding is not available in this build.");
}
