// The suites' image folders are part of the repository; a missing one fails
// here by name instead of leaving its suite with no cases.
#include "TestSupport.h"

#include <filesystem>

TEST(TestData, SuiteFoldersArePresent)
{
    for (const char* folder :
         {"bmpsuite", "image-rs-bmp", "pngsuite", "libtiff", "image-rs-tga", "pillow-tga",
          "pict-twelvemonkeys", "eps-pillow", "jpeg-decoder", "bombs", "formats"})
        EXPECT_TRUE(std::filesystem::is_directory(test::TestData(folder)))
            << "test data folder missing: " << test::TestData(folder);
}
