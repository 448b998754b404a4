// Feeds arbitrary bytes to the any-format decoder over a memory source.
// Every outcome but a CTextException is a finding.
#include "AnyPicDecoder.h"
#include "DIBSection.h"
#include "DataSource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Larger inputs only slow the search down; the formats' structure fits in 1 MiB.
    if (size > (1u << 20))
        return 0;
    // The program's own decode budget: headers that claim huge pictures must
    // fail on the checks of the data against the header, not on a small limit.
    static CAnyPicDecoder decoder;
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
    return 0;
}
