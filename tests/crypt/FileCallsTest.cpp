// The file calls of all three ciphers: round trips over many lengths, and
// what happens to the files when something goes wrong.
#include "tarncrypt/BlowfishOps.h"
#include "tarncrypt/Diamond2Ops.h"
#include "tarncrypt/Sapphire2Ops.h"

#include "MessageLog.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
class CDiamond2Access : public CDiamond2Ops
{
public:
    using CDiamond2Ops::Decrypt_file;
    using CDiamond2Ops::Encrypt_file;
};

struct FileCipher
{
    const char* name;
    int (*encrypt)(const std::string& in, const std::string& out);
    int (*decrypt)(const std::string& in, const std::string& out);
    int noInput;
    int noOutput;
    int shortWrite;
};

void PrintTo(const FileCipher& cipher, std::ostream* os)
{
    *os << cipher.name;
}

const uint8_t kKey[] = "correct horse";

const FileCipher kCiphers[] = {
    {"Blowfish",
     [](const std::string& in, const std::string& out)
     { return CBlowfishOps().EncryptFileA(in.c_str(), out.c_str(), kKey, 13); },
     [](const std::string& in, const std::string& out)
     { return CBlowfishOps().DecryptFileA(in.c_str(), out.c_str(), kKey, 13); },
     -1, -1, -1},
    {"Sapphire",
     [](const std::string& in, const std::string& out)
     { return CSapphire2Ops().EncryptFileA(in.c_str(), out.c_str(), "correct horse"); },
     [](const std::string& in, const std::string& out)
     { return CSapphire2Ops().DecryptFileA(in.c_str(), out.c_str(), "correct horse"); },
     13, 14, 15},
    {"Diamond2",
     [](const std::string& in, const std::string& out)
     { return CDiamond2Access::Encrypt_file(in.c_str(), out.c_str(), 13, kKey); },
     [](const std::string& in, const std::string& out)
     { return CDiamond2Access::Decrypt_file(in.c_str(), out.c_str(), 13, kKey); },
     13, 14, 15},
};

class FileCalls : public testing::TestWithParam<FileCipher>
{
protected:
    CMessageLog m_messages;
    CTempDir m_dir;
};

TEST_P(FileCalls, RoundTripKeepsLength)
{
    const FileCipher& c = GetParam();
    for (size_t length : TestLengths())
    {
        SCOPED_TRACE(length);
        const Bytes plain = RandomBytes(length, uint32_t(length) + 1);
        WriteFile(m_dir / "plain", plain);
        ASSERT_EQ(c.encrypt(m_dir / "plain", m_dir / "cipher"), 0);
        const Bytes cipher = ReadFile(m_dir / "cipher");
        ASSERT_EQ(cipher.size(), length);
        if (length >= 16)
        {
            EXPECT_NE(cipher, plain);
        }
        ASSERT_EQ(c.decrypt(m_dir / "cipher", m_dir / "back"), 0);
        ASSERT_EQ(ReadFile(m_dir / "back"), plain);
    }
}

TEST_P(FileCalls, OutputMayBeTheInput)
{
    const FileCipher& c = GetParam();
    const Bytes plain = RandomBytes(70000, 9);
    const std::string path = m_dir / "file";
    WriteFile(path, plain);
    ASSERT_EQ(c.encrypt(path, path), 0);
    EXPECT_EQ(ReadFile(path).size(), plain.size());
    EXPECT_NE(ReadFile(path), plain);
    ASSERT_EQ(c.decrypt(path, path), 0);
    EXPECT_EQ(ReadFile(path), plain);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 1);
}

TEST_P(FileCalls, FailuresLeaveTheOutputAsItWas)
{
    const FileCipher& c = GetParam();
    const Bytes old = {'o', 'l', 'd'};
    WriteFile(m_dir / "out", old);
    WriteFile(m_dir / "in", RandomBytes(5000, 5));

    EXPECT_EQ(c.encrypt(m_dir / "missing", m_dir / "out"), c.noInput);
    EXPECT_EQ(c.decrypt(m_dir.Path().string(), m_dir / "out"), c.noInput);
    EXPECT_EQ(ReadFile(m_dir / "out"), old);

    // An output in a folder that does not exist, or below a plain file.
    EXPECT_EQ(c.encrypt(m_dir / "in", m_dir / "no/such/out"), c.noOutput);
    EXPECT_EQ(c.encrypt(m_dir / "in", m_dir / "in/out"), c.noOutput);
    EXPECT_EQ(c.encrypt(m_dir / "in", ""), c.noOutput);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 2);
}

TEST_P(FileCalls, FullDeviceIsAFailure)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const FileCipher& c = GetParam();
    WriteFile(m_dir / "in", RandomBytes(40000, 6));
    EXPECT_EQ(c.encrypt(m_dir / "in", "/dev/full"), c.shortWrite);
}

TEST_P(FileCalls, ReplacesThroughSymbolicLinkAndKeepsMode)
{
    const FileCipher& c = GetParam();
    const Bytes plain = RandomBytes(3000, 8);
    WriteFile(m_dir / "in", plain);
    WriteFile(m_dir / "target", {'x'});
    chmod((m_dir / "target").c_str(), 0640);
    std::filesystem::create_symlink(m_dir / "target", m_dir / "link");
    ASSERT_EQ(c.encrypt(m_dir / "in", m_dir / "link"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(m_dir / "link"));
    EXPECT_EQ(ReadFile(m_dir / "target").size(), plain.size());
    struct stat st;
    ASSERT_EQ(stat((m_dir / "target").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_P(FileCalls, OutputNameOfTheLongestLength)
{
    const FileCipher& c = GetParam();
    const Bytes plain = RandomBytes(3000, 10);
    WriteFile(m_dir / "in", plain);
    const std::string out = m_dir / std::string(255, 'n');
    ASSERT_EQ(c.encrypt(m_dir / "in", out), 0);
    ASSERT_EQ(c.decrypt(out, out), 0);
    EXPECT_EQ(ReadFile(out), plain);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 2);
}

TEST_P(FileCalls, ReplacementKeepsOwnerAndGroup)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    const FileCipher& c = GetParam();
    WriteFile(m_dir / "in", RandomBytes(3000, 11));
    WriteFile(m_dir / "out", {'x'});
    ASSERT_EQ(chown((m_dir / "out").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod((m_dir / "out").c_str(), 02755), 0);
    ASSERT_EQ(c.encrypt(m_dir / "in", m_dir / "out"), 0);
    struct stat st;
    ASSERT_EQ(stat((m_dir / "out").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 02755u);
    EXPECT_EQ(st.st_size, 3000);
}

INSTANTIATE_TEST_SUITE_P(AllCiphers, FileCalls, testing::ValuesIn(kCiphers),
                         [](const testing::TestParamInfo<FileCipher>& param)
                         { return std::string(param.param.name); });

TEST(FileCalls, Diamond2OutputIsPrivate)
{
    CTempDir dir;
    WriteFile(dir / "in", RandomBytes(100, 1));
    ASSERT_EQ(CDiamond2Access::Encrypt_file((dir / "in").c_str(), (dir / "out").c_str(), 13, kKey),
              0);
    struct stat st;
    ASSERT_EQ(stat((dir / "out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}
} // namespace
