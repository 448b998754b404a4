#include "DataSource.h"
#include "FileSource.h"
#include "ResourceSource.h"
#include "ResourceTable.h"
#include "TestSupport.h"

#include <memory>
#include <vector>

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

// A file that shrinks while it is mapped reads as zeros past its new end, and
// the source says so; a file that keeps its size is not flagged, and more
// sources than there are guard slots still open (they read a copy).
TEST(FileSource, FileShrinkingUnderTheMappingReadsZerosAndIsFlagged)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const std::string dir = test::TempDir();
    test::WriteFile(dir + "/shrinks", std::vector<uint8_t>(4 * page, 0x5A));
    test::WriteFile(dir + "/stays", std::vector<uint8_t>(4 * page, 0x5A));
    CFileSource shrinks, stays;
    ASSERT_EQ(shrinks.Open(dir + "/shrinks"), 0);
    ASSERT_EQ(stays.Open(dir + "/stays"), 0);
    ASSERT_EQ(truncate((dir + "/shrinks").c_str(), off_t(page)), 0);

    const uint8_t* data = shrinks.GetBufferPtr();
    EXPECT_EQ(data[page - 1], 0x5A);
    EXPECT_EQ(data[3 * page + 7], 0); // would be SIGBUS without the guard
    EXPECT_EQ(data[2 * page], 0);
    EXPECT_TRUE(shrinks.WasTruncated());
    EXPECT_EQ(stays.GetBufferPtr()[3 * page + 7], 0x5A);
    EXPECT_FALSE(stays.WasTruncated());
    shrinks.Close();
    EXPECT_FALSE(shrinks.WasTruncated());

    std::vector<std::unique_ptr<CFileSource>> many(600);
    for (auto& source : many)
    {
        source = std::make_unique<CFileSource>();
        ASSERT_EQ(source->Open(dir + "/stays"), 0);
        ASSERT_EQ(source->GetFileSize(), 4 * page);
        ASSERT_EQ(source->GetBufferPtr()[4 * page - 1], 0x5A);
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
