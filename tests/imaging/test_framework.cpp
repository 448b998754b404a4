#include "AnyPicDecoder.h"
#include "DIBSection.h"
#include "ResourceTable.h"
#include "TestSupport.h"

#include <fstream>
#include <sstream>

namespace
{
std::string Slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// Restores the library-wide trace settings after each test.
class Trace : public ::testing::Test
{
protected:
    void TearDown() override { CPicDecoder::SetTraceConfig(0, nullptr); }
};
} // namespace

TEST(DecodeFile, OpenFailuresCarryCodeAndPath)
{
    const std::string dir = test::TempDir();
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    const std::string noDir = dir + "/nodir/pic.png";
    const std::string expected = "Decoder error: Opening " + noDir + " failed\n";
    EXPECT_DECODE_ERROR(decoder.DecodeFile(noDir, bmp), 3, expected.c_str());
    EXPECT_DECODE_ERROR(decoder.DecodeFile(dir + "/none.png", bmp), 4, nullptr);
    test::WriteFile(dir + "/empty.png", {});
    EXPECT_DECODE_ERROR(decoder.DecodeFile(dir + "/empty.png", bmp), 5, nullptr);
    test::WriteFile(dir + "/text.txt", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_DECODE_ERROR(decoder.DecodeFile(dir + "/text.txt", bmp), 8,
                        "Decoder error: Unknown file type.\n");
}

TEST(DecodeResource, ReadsTheEmbeddedTable)
{
    static const uint8_t junk[4] = {'j', 'u', 'n', 'k'};
    ResourceTable::Register(4711, RT_RCDATA, junk, sizeof junk);
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(decoder.DecodeResource(4711, bmp), 8, nullptr);
    EXPECT_DECODE_ERROR(decoder.DecodeResource(4712, bmp), 4,
                        "Decoder error: Opening resource 4712 failed\n");
}

TEST_F(Trace, LevelsAndFile)
{
    const std::string dir = test::TempDir();
    const std::string log = dir + "/trace.txt";
    test::WriteFile(log, {'o', 'l', 'd'});
    test::WriteFile(dir + "/x.bin", {1, 2, 3, 4});

    // Setting the configuration starts an empty trace.
    CPicDecoder::SetTraceConfig(2, log.c_str());
    EXPECT_EQ(Slurp(log), "");

    // Format characters in traced text are written as they are.
    CPicDecoder::Trace(2, "100% %s done\n");
    CPicDecoder::Trace(3, "too detailed\n");
    EXPECT_EQ(Slurp(log), "100% %s done\n");

    CPicDecoder::SetTraceConfig(1, log.c_str());
    {
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        const std::string path = dir + "/x.bin";
        EXPECT_THROW(decoder.DecodeFile(path, bmp), CTextException);
        EXPECT_EQ(Slurp(log), "--- Decoding file " + path +
                                  ". ---\nDecoder error: Unknown file type.\n");
    }

    // Level 0 writes only errors; a null file disables the trace.
    CPicDecoder::SetTraceConfig(0, log.c_str());
    CPicDecoder::Trace(1, "not written\n");
    EXPECT_THROW(CPicDecoder::RaiseError(2, "bad"), CTextException);
    EXPECT_EQ(Slurp(log), "Decoder error: bad\n");
    CPicDecoder::SetTraceConfig(5, nullptr);
    CPicDecoder::Trace(1, "nowhere\n");
    EXPECT_EQ(Slurp(log), "Decoder error: bad\n");
}
