#include "DataSource.h"
#include "FileSource.h"
#include "ResourceSource.h"
#include "ResourceTable.h"
#include "TestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

TEST(DataSource, ReadsUpToTheLastByteAndNoFurther)
{
    const uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    CDataSource src;
    src.Open("mem", data, sizeof data);
    EXPECT_EQ(src.ReadLE16(), 0x0201);
    EXPECT_EQ(src.ReadBE16(), 0x0304);
    EXPECT_EQ(src.ReadBytes(6), data + 4);
    EXPECT_EQ(src.GetRemaining(), 0u);
    EXPECT_DECODE_ERROR(src.ReadByte(), 11, "End of file reached while decoding.\n");

    CDataSource again;
    again.Open("mem", data, sizeof data);
    EXPECT_NO_THROW(again.ReadBytes(10));
    again.SetPos(2);
    EXPECT_EQ(again.ReadLE32(), 0x06050403u);
    EXPECT_DECODE_ERROR(again.SetPos(11), 11, nullptr);
    EXPECT_DECODE_ERROR(again.Skip(size_t(-1)), 11, nullptr); // a huge skip does not wrap
}

TEST(DataSource, NeverOpenedOrClosedReleasesNothing)
{
    {
        CFileSource never;
        CResourceSource alsoNever;
    }
    CFileSource src;
    const std::string path = test::TempDir() + "/ten.bin";
    test::WriteFile(path, std::vector<uint8_t>(10, 0xAB));
    ASSERT_EQ(src.Open(path), 0);
    EXPECT_EQ(src.GetFileSize(), 10u);
    EXPECT_EQ(src.GetName(), path);
    EXPECT_EQ(src.ReadByte(), 0xAB);
    src.Close();
    src.Close();
    EXPECT_FALSE(src.IsOpen());
}

TEST(FileSource, ErrorCodes)
{
    const std::string dir = test::TempDir();
    CFileSource src;
    test::WriteFile(dir + "/empty", {});
    EXPECT_EQ(src.Open(dir + "/empty"), 5);
    EXPECT_EQ(src.Open(dir + "/missing-dir/a.bmp"), 3);
    EXPECT_EQ(src.Open(dir + "/missing.bmp"), 4);
    EXPECT_EQ(src.Open(dir), 5); // a folder is not a picture
    EXPECT_FALSE(src.IsOpen());

    test::WriteFile(dir + "/locked", {1, 2, 3});
    chmod((dir + "/locked").c_str(), 0);
    if (geteuid() != 0) // root reads anything
    {
        EXPECT_EQ(src.Open(dir + "/locked"), 5);
    }
}

TEST(ResourceSource, FindsRegisteredResources)
{
    static const uint8_t blob[3] = {7, 8, 9};
    ResourceTable::Register(7, RT_RCDATA, blob, sizeof blob);
    CResourceSource src;
    ASSERT_EQ(src.Open(7), 0);
    EXPECT_EQ(src.GetName(), "Resource: 7");
    EXPECT_EQ(src.ReadByte(), 7);
    src.Close();
    EXPECT_EQ(src.Open(7, RT_BITMAP), 4);
    EXPECT_EQ(src.Open(12345), 4);
}
