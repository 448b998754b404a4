#include "JXLDecoder.h"

#include "Bmp.h"
#include "DataSource.h"
#include "JXLStream.h"

void CJXLDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>&, int& depth,
                              CDataSource& source)
{
    CJXLStream stream(source.GetBufferPtr(), source.GetRemaining(), GetApplyOrientation());
    depth = 32;
    bmp.Create(stream.GetWidth(), stream.GetHeight(), 32, stream.HasAlpha());
    int duration = 0;
    if (!stream.ReadFrame(bmp, duration))
        RaiseError(1, "Decoding jxl: The file holds no frame.");
    Trace(3, "Decoding finished.\n");
}
