// Feeds arbitrary bytes to the any-format decoder over a memory source.
// Every outcome but a CTextException is a finding.
#include "../StillDecode.h"
#include "AnyPicDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxFuzzInput)
        return 0;
    DecodeStill<CAnyPicDecoder>(data, size);
    return 0;
}
