// Diamond2 file encryption: known answer, cipher feedback, modes and where
// the key comes from.
#include "tarncrypt/Diamond2Ops.h"
#include "tarncrypt/Messages.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
class CDiamond2Access : public CDiamond2Ops
{
public:
    using CDiamond2Ops::Decrypt_file;
    using CDiamond2Ops::Encrypt_file;
};

class Diamond2 : public testing::Test
{
protected:
    void SetUp() override { unsetenv("DLOCK_KEY"); }
    void TearDown() override { unsetenv("DLOCK_KEY"); }

    int Encrypt(const Bytes& plain, const char* key)
    {
        WriteFile(m_dir / "plain", plain);
        return CDiamond2Ops::CryptFile('e', (m_dir / "plain").c_str(), (m_dir / "cipher").c_str(),
                                       key);
    }
    Bytes Decrypt(const char* key)
    {
        EXPECT_EQ(
            CDiamond2Ops::CryptFile('d', (m_dir / "cipher").c_str(), (m_dir / "back").c_str(), key),
            0);
        return ReadFile(m_dir / "back");
    }

    CTempDir m_dir;
};

TEST_F(Diamond2, KnownAnswer)
{
    Bytes plain(50);
    for (size_t i = 0; i < plain.size(); i++)
        plain[i] = uint8_t(i * 31 + 7);
    ASSERT_EQ(Encrypt(plain, "Tarncrypt"), 0);
    const Bytes expected = {0x74, 0x1d, 0xc3, 0x31, 0xdf, 0x32, 0xc0, 0x1d, 0x81, 0xda,
                            0x37, 0x12, 0x2d, 0x75, 0x2b, 0xd2, 0xfa, 0x7b, 0xf6, 0xdc,
                            0xbc, 0xf2, 0xc1, 0x8b, 0x74, 0x1f, 0x5d, 0xb9, 0xb9, 0xa4,
                            0x5d, 0xb7, 0x1e, 0x68, 0xd0, 0xbd, 0xe6, 0x95, 0xd6, 0xf9,
                            0x82, 0x82, 0x4f, 0x33, 0xc6, 0x32, 0x4c, 0xa6, 0x71, 0x2f};
    EXPECT_EQ(ReadFile(m_dir / "cipher"), expected);
    EXPECT_EQ(Decrypt("Tarncrypt"), plain);
}

TEST_F(Diamond2, CipherFeedbackChainsWholeBlocks)
{
    const Bytes plain = RandomBytes(100, 3);
    ASSERT_EQ(Encrypt(plain, "key"), 0);
    const Bytes cipher = ReadFile(m_dir / "cipher");
    // A prefix encrypts to a prefix; the short last block uses the current
    // register.
    ASSERT_EQ(Encrypt(Bytes(plain.begin(), plain.begin() + 37), "key"), 0);
    EXPECT_EQ(ReadFile(m_dir / "cipher"), Bytes(cipher.begin(), cipher.begin() + 37));
    // A flipped plaintext bit flips the same ciphertext bit, then changes the
    // next block.
    Bytes changed = plain;
    changed[20] ^= 0x10;
    ASSERT_EQ(Encrypt(changed, "key"), 0);
    const Bytes cipher2 = ReadFile(m_dir / "cipher");
    EXPECT_EQ(cipher2[20], cipher[20] ^ 0x10);
    EXPECT_TRUE(std::equal(cipher.begin() + 21, cipher.begin() + 32, cipher2.begin() + 21));
    EXPECT_FALSE(std::equal(cipher.begin() + 32, cipher.begin() + 48, cipher2.begin() + 32));
}

TEST_F(Diamond2, OtherModesTouchNothing)
{
    WriteFile(m_dir / "in", {1, 2, 3});
    WriteFile(m_dir / "out", {9});
    for (int mode : {0, int('E'), int('D'), 99, 102, -101})
        EXPECT_EQ(
            CDiamond2Ops::CryptFile(mode, (m_dir / "in").c_str(), (m_dir / "out").c_str(), "key"),
            0);
    EXPECT_EQ(ReadFile(m_dir / "in"), (Bytes{1, 2, 3}));
    EXPECT_EQ(ReadFile(m_dir / "out"), (Bytes{9}));
}

TEST_F(Diamond2, EmptyKeyTakesTheEnvironment)
{
    const Bytes plain = RandomBytes(1000, 4);
    setenv("DLOCK_KEY", "from the environment", 1);
    ASSERT_EQ(Encrypt(plain, ""), 0);
    unsetenv("DLOCK_KEY");
    EXPECT_EQ(Decrypt("from the environment"), plain);
    // An explicit key wins over the environment.
    setenv("DLOCK_KEY", "other", 1);
    ASSERT_EQ(Encrypt(plain, "mine"), 0);
    EXPECT_EQ(Decrypt("mine"), plain);
}

TEST_F(Diamond2, NoKeyWithoutTerminal)
{
    EXPECT_EQ(CDiamond2Access::Encrypt_file("in", "out", 0, nullptr), 10);
    WriteFile(m_dir / "in", {1});
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        setsid(); // no controlling terminal
        _exit(
            CDiamond2Ops::CryptFile('e', (m_dir / "in").c_str(), (m_dir / "out").c_str(), nullptr));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 10);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out"));
}

/// Runs CryptFile with an empty key in a child whose terminal is a pty, and
/// answers each prompt with the next of `answers`. Returns the child's exit
/// status and, in `screen`, what the terminal showed.
int RunWithTerminal(int mode, const std::string& in, const std::string& out,
                    const std::vector<std::string>& answers, std::string& screen)
{
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0)
        return -1;
    if (pid == 0)
        _exit(CDiamond2Ops::CryptFile(mode, in.c_str(), out.c_str(), ""));
    size_t answered = 0;
    for (;;)
    {
        pollfd pfd = {master, POLLIN, 0};
        if (poll(&pfd, 1, 20000) <= 0)
            break;
        char buf[256];
        const ssize_t n = read(master, buf, sizeof(buf));
        if (n <= 0)
            break;
        screen.append(buf, size_t(n));
        // Answer once the prompt has been shown and echo is off.
        size_t prompts = 0;
        for (size_t at = 0; (at = screen.find("(case sensitive):", at)) != std::string::npos; at++)
            prompts++;
        if (prompts > answered && answered < answers.size())
        {
            const std::string line = answers[answered++] + "\n";
            if (write(master, line.data(), line.size()) != ssize_t(line.size()))
                break;
        }
    }
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Diamond2, PromptReadsThePassPhraseWithoutEcho)
{
    const Bytes plain = RandomBytes(500, 5);
    WriteFile(m_dir / "plain", plain);
    std::string screen;
    ASSERT_EQ(RunWithTerminal('e', m_dir / "plain", m_dir / "cipher", {"s3cret", "s3cret"}, screen),
              0);
    EXPECT_NE(screen.find("Please enter your pass phrase (case sensitive):"), std::string::npos);
    EXPECT_NE(screen.find("Please verify your pass phrase (case sensitive):"), std::string::npos);
    EXPECT_EQ(screen.find("s3cret"), std::string::npos) << screen;
    EXPECT_EQ(Decrypt("s3cret"), plain);

    screen.clear();
    EXPECT_EQ(RunWithTerminal('e', m_dir / "plain", m_dir / "other", {"one", "two"}, screen), 10);
    EXPECT_NE(screen.find("Pass phrases didn't match.  Please try again."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "other"));

    // Decrypting asks once.
    screen.clear();
    EXPECT_EQ(RunWithTerminal('d', m_dir / "cipher", m_dir / "back2", {"s3cret"}, screen), 0);
    EXPECT_EQ(screen.find("verify"), std::string::npos);
    EXPECT_EQ(ReadFile(m_dir / "back2"), plain);
}
} // namespace
