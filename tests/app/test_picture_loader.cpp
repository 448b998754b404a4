#include "AppTestSupport.h"
#include "BmpPyramid.h"
#include "DrawDibBmp.h"
#include "PictureLoader.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
/// What a pass brought: its size (0 x 0 for a failure), whether it was the
/// last, the whole picture's size, and the decoder's code.
struct Seen
{
    QSize size;
    bool bFinal;
    QSize fullSize;
    int nCode;
    bool bPyramid;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os)
{
    *os << s.size.width() << "x" << s.size.height() << (s.bFinal ? " final" : " first") << " of "
        << s.fullSize.width() << "x" << s.fullSize.height() << " code " << s.nCode
        << (s.bPyramid ? " +pyramid" : "");
}

struct LoaderCase
{
    const char* name;
    const char* file; // "jpg", "png" or "damaged"
    QSize picture;
    QSize firstPass;
    std::vector<Seen> passes;
};

const LoaderCase kLoaderCases[] = {
    {"a large jpeg comes scaled first then whole", "jpg", {1600, 1200}, {200, 150},
     {{{200, 150}, false, {1600, 1200}, 0, false}, {{1600, 1200}, true, {1600, 1200}, 0, true}}},
    {"a jpeg within the first pass comes once", "jpg", {160, 120}, {200, 150},
     {{{160, 120}, true, {160, 120}, 0, true}}},
    {"a jpeg without a first pass asked comes once", "jpg", {1600, 1200}, {},
     {{{1600, 1200}, true, {1600, 1200}, 0, true}}},
    {"a png comes once at full size", "png", {400, 300}, {100, 75},
     {{{400, 300}, true, {400, 300}, 0, true}}},
    {"a damaged jpeg ends with the decoder's code", "damaged", {}, {200, 150},
     {{{}, true, {}, 6, false}}},
};

class PictureLoaderPasses : public ::testing::TestWithParam<LoaderCase>
{
protected:
    std::string MakeFile(const LoaderCase& c)
    {
        const QString path = m_dir.filePath(QStringLiteral("picture.") + QLatin1String(c.file));
        if (QLatin1String(c.file) == QLatin1String("damaged"))
        {
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(200, '\x55'));
        }
        else
        {
            QImage image(c.picture, QImage::Format_RGB32);
            image.fill(QColor(200, 120, 40));
            EXPECT_TRUE(image.save(path));
        }
        return path.toStdString();
    }

    /// Starts a loader on path and collects its passes until the last.
    static std::vector<Seen> Collect(const std::string& path, QSize firstPass)
    {
        std::vector<Seen> seen;
        CPictureLoader loader(
            [&](const std::shared_ptr<CPictureLoader::Pass>& pass)
            {
                const QSize size = pass->pBmp ? QSize(pass->pBmp->GetWidth(), pass->pBmp->GetHeight())
                                              : QSize();
                seen.push_back({size, pass->bFinal, pass->fullSize, pass->nCode, bool(pass->pPyramid)});
            });
        loader.Start(path, firstPass);
        EXPECT_TRUE(ProcessUntil([&] { return !loader.IsLoading(); }));
        return seen;
    }

    QTemporaryDir m_dir;
};

TEST_P(PictureLoaderPasses, ArriveInOrder)
{
    const LoaderCase& c = GetParam();
    const std::string path = MakeFile(c);
    std::vector<Seen> seen = Collect(path, c.firstPass);
    for (Seen& s : seen)
        if (s.nCode != 0)
            s.nCode = c.passes.back().nCode; // any decoder code will do; not success
    EXPECT_EQ(seen, c.passes);

    // Decoded ahead, the same passes reach the loader that starts on the
    // file, whether they are done by then or not.
    CPictureLoader::DecodeAhead(path, c.firstPass);
    EXPECT_EQ(CPictureLoader::GetAheadPath(), path);
    seen = Collect(path, QSize(1, 1)); // the job under way decides the passes
    for (Seen& s : seen)
        if (s.nCode != 0)
            s.nCode = c.passes.back().nCode;
    // A slow first pass may show its rows so far before it is whole.
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen, c.passes);
    EXPECT_EQ(CPictureLoader::GetAheadPath(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureLoaderPasses, ::testing::ValuesIn(kLoaderCases),
                         [](const auto& p) { return CaseName(p.param.name); });
} // namespace
