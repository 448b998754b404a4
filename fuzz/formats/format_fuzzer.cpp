// Feeds arbitrary bytes to one of the newer formats' decoders (chosen at
// build time by FUZZ_FORMAT), or plays them as an animation. Every outcome
// but a CTextException is a finding.
#include "../StillDecode.h"
#include "Animation.h"
#include "AnyPicDecoder.h"
#include "HEIFDecoder.h"
#include "JXLDecoder.h"
#include "WebPDecoder.h"

#include <cstddef>
#include <cstdint>

namespace
{
/// Plays the animation twice through (a rewind included), at most 64 frames.
[[maybe_unused]] void Play(const uint8_t* data, size_t size)
{
    static CAnyPicDecoder decoder;
    CDataSource source;
    source.Open("fuzz", data, size);
    try
    {
        std::unique_ptr<CAnimation> animation = decoder.OpenAnimation(source);
        for (int pass = 0; animation && pass < 2; pass++)
        {
            for (int frame = 0; frame < 64 && animation->NextFrame(); frame++)
            {
            }
            animation->Rewind();
        }
    }
    catch (const CTextException&)
    {
    }
}
} // namespace

#if FUZZ_FORMAT == 2
// libdav1d (libheif's AV1 decoder) leaks a few bytes on some damaged AV1
// data; that is not ours to find here.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdav1d.so\n";
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxFuzzInput)
        return 0;
#if FUZZ_FORMAT == 1
    DecodeStill<CWebPDecoder>(data, size);
#elif FUZZ_FORMAT == 2
    DecodeStill<CHEIFDecoder>(data, size);
#elif FUZZ_FORMAT == 3
    // No data check bounds a JPEG XL picture: a few kilobytes make a sound
    // file of 67 megapixels that takes seconds to decode under the
    // sanitizers. A budget of about 12 megapixels keeps each input quick.
    static const bool budget = (CBmp::SetMaxPixelBytes(size_t(256) << 20), true);
    (void)budget;
    DecodeStill<CJXLDecoder>(data, size);
#else
    Play(data, size);
#endif
    return 0;
}
