// The output file beneath every file call, with and without unnamed files:
// it appears only when committed, and a signal handler can remove it first.
#include "OutputFile.h"

#include "tarncrypt/PartialOutputs.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace
{
using tarncrypt::COutputFile;

std::set<std::string> Names(const CTempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

struct OutputCase
{
    const char* name;
    bool bUnnamed;
    bool bReplace;
};

class OutputFile : public testing::TestWithParam<OutputCase>
{
protected:
    void SetUp() override
    {
        if (GetParam().bUnnamed)
        {
            const int fd = open(m_dir.Path().c_str(), O_TMPFILE | O_WRONLY, 0600);
            if (fd < 0)
                GTEST_SKIP() << "the temporary folder's file system has no unnamed files";
            close(fd);
        }
        if (GetParam().bReplace)
            WriteFile(m_dir / "out", m_old);
    }

    /// An output opened and half written: named while it is written only
    /// where it cannot be unnamed.
    void OpenAndWrite(COutputFile& out)
    {
        const auto before = Names(m_dir);
        ASSERT_TRUE(out.Open((m_dir / "out").c_str()));
        ASSERT_TRUE(out.Write(m_new.data(), m_new.size()));
        const auto during = Names(m_dir);
        EXPECT_EQ(during.size(), before.size() + (GetParam().bUnnamed ? 0 : 1));
    }

    /// What "out" holds, empty when there is none.
    Bytes Target() const { return ReadFile(m_dir / "out"); }

    CTempDir m_dir;
    const Bytes m_old = {'o', 'l', 'd'};
    const Bytes m_new = RandomBytes(5000, 3);
};

TEST_P(OutputFile, AppearsWhenCommitted)
{
    COutputFile out(0644, GetParam().bUnnamed);
    OpenAndWrite(out);
    EXPECT_EQ(Target(), GetParam().bReplace ? m_old : Bytes());
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(Target(), m_new);
    EXPECT_EQ(Names(m_dir), std::set<std::string>{"out"});
}

TEST_P(OutputFile, SignalHandlerLeavesWhatWasThere)
{
    COutputFile out(0644, GetParam().bUnnamed);
    OpenAndWrite(out);
    tarncrypt::RemovePartialOutputs();
    EXPECT_EQ(Names(m_dir).size(), GetParam().bReplace ? 1u : 0u);
    EXPECT_EQ(Target(), GetParam().bReplace ? m_old : Bytes());
    // A named output whose file was removed cannot be committed.
    if (!GetParam().bUnnamed)
    {
        EXPECT_FALSE(out.Commit());
        EXPECT_EQ(Target(), GetParam().bReplace ? m_old : Bytes());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OutputFile,
    testing::Values(OutputCase{"Unnamed", true, false}, OutputCase{"UnnamedReplacing", true, true},
                    OutputCase{"Named", false, false}, OutputCase{"NamedReplacing", false, true}),
    [](const testing::TestParamInfo<OutputCase>& param) { return std::string(param.param.name); });
} // namespace
