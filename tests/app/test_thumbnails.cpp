// Thumbnails: the desktop cache's names and stamps, stale and damaged cache
// files made again, failure entries, a cache that cannot be written, the
// Exif thumbnail, the order of the work and the memory's budget.
#include "NativePath.h"
#include "ThumbnailCache.h"
#include "ThumbnailMaker.h"
#include "ThumbnailMemory.h"
#include "ThumbnailPool.h"
#include "ThumbnailQueue.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace
{
QImage Solid(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void Save(const QImage& image, const QString& path, const char* format = "png")
{
    ASSERT_TRUE(image.save(path, format)) << path.toStdString();
}

void SetMTime(const QString& path, qint64 seconds)
{
    const utimbuf times{time_t(seconds), time_t(seconds)};
    ASSERT_EQ(utime(NativePath::Encode(path).constData(), &times), 0);
}

mode_t ModeOf(const QString& path)
{
    struct stat st;
    return stat(NativePath::Encode(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

QString TextOf(const QString& png, const char* key)
{
    return QImage(png, "png").text(QString::fromLatin1(key));
}

/// A folder of pictures and a cache of its own.
struct Scratch
{
    QTemporaryDir dir;
    QString Pictures() const { return dir.path() + "/pictures"; }
    QString Root() const { return dir.path() + "/cache/thumbnails"; }
    Scratch() { QDir().mkpath(Pictures()); }
};

CThumbnailPool::Result Produce(const CThumbnailCache& cache, const QString& path, int size,
                               bool decode = true)
{
    CThumbnailMaker maker;
    return CThumbnailPool::Produce(maker, cache, CThumbnailPool::Job{0, path, decode}, size);
}

/// A JPEG whose APP1 Exif block carries `thumb` as its thumbnail.
QByteArray JpegWithExifThumbnail(const QImage& picture, const QImage& thumb)
{
    auto jpeg = [](const QImage& image)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "jpg", 95);
        return bytes;
    };
    const QByteArray thumbBytes = jpeg(thumb);
    QByteArray tiff("II\x2A\x00\x08\x00\x00\x00", 8);
    auto u16 = [&](unsigned v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    u16(0), u32(14);                             // an empty first directory, then the second
    u16(2);                                      // offset and length of the thumbnail
    u16(0x201), u16(4), u32(1), u32(14 + 2 + 24 + 4);
    u16(0x202), u16(4), u32(1), u32(uint32_t(thumbBytes.size()));
    u32(0);
    tiff.append(thumbBytes);
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((app1.size() + 2) >> 8)).append(char((app1.size() + 2) & 0xFF));
    return jpeg(picture).insert(2, segment + app1);
}
} // namespace

TEST(ThumbnailCache, NamesFilesByTheMd5OfTheirUri)
{
    struct Case
    {
        QByteArray path; // bytes as the kernel has them
        QByteArray uri;
    };
    const Case cases[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
        {"/tmp/a b;c#%.png", "file:///tmp/a%20b%3Bc%23%25.png"},
        {"/tmp/x\xff!$&()*+,=:@~.png", "file:///tmp/x%FF!$&()*+,=:@~.png"},
        {"/tmp/q'[]?{}^`|<>\"\\\x01\xc3\xa9.png",
         "file:///tmp/q'%5B%5D%3F%7B%7D%5E%60%7C%3C%3E%22%5C%01%C3%A9.png"},
        {"/tmp//dir/./x.png", "file:///tmp/dir/x.png"},
    };
    const CThumbnailCache cache("/c/thumbnails");
    for (const Case& c : cases)
    {
        const QString path = NativePath::Decode(c.path);
        EXPECT_EQ(CThumbnailCache::UriOf(path), c.uri) << c.path.toStdString();
        const QString md5 =
            QCryptographicHash::hash(c.uri, QCryptographicHash::Md5).toHex() + ".png";
        EXPECT_EQ(cache.PathFor(path, 128), "/c/thumbnails/normal/" + md5);
        EXPECT_EQ(cache.PathFor(path, 256), "/c/thumbnails/large/" + md5);
        EXPECT_EQ(cache.FailurePathFor(path), "/c/thumbnails/fail/vistrel-1.303/" + md5);
    }
    // The standard's own example.
    EXPECT_TRUE(cache.PathFor("/home/jens/photos/me.png", 128)
                    .endsWith("/c6ee772d9e49320e97ec29a7eb5b1697.png"));
    EXPECT_TRUE(cache.Contains("/c/thumbnails/large/x.png"));
    EXPECT_FALSE(cache.Contains("/c/thumbnails-old/x.png"));

    setenv("XDG_CACHE_HOME", "/xdg/cache", 1);
    EXPECT_EQ(CThumbnailCache::DefaultRoot(), "/xdg/cache/thumbnails");
    setenv("XDG_CACHE_HOME", "relative", 1); // not absolute: ignored
    EXPECT_EQ(CThumbnailCache::DefaultRoot(), QDir::homePath() + "/.cache/thumbnails");
    unsetenv("XDG_CACHE_HOME");
}

TEST(ThumbnailCache, StoresStampedPngsPrivately)
{
    Scratch s;
    const QString picture = s.Pictures() + "/wide picture.png";
    Save(Solid(QSize(600, 400), Qt::red), picture);
    const CThumbnailCache cache(s.Root());
    for (int size : {128, 256})
    {
        SCOPED_TRACE(size);
        const CThumbnailPool::Result r = Produce(cache, picture, size);
        ASSERT_EQ(r.outcome, CThumbnailPool::kMade);
        EXPECT_EQ(r.image.size(), QSize(size, size == 128 ? 85 : 171));
        const QString png = cache.PathFor(picture, size);
        CThumbnailCache::Source source;
        ASSERT_TRUE(CThumbnailCache::StatSource(picture, source));
        EXPECT_EQ(TextOf(png, "Thumb::URI"), CThumbnailCache::UriOf(picture));
        EXPECT_EQ(TextOf(png, "Thumb::MTime"), QString::number(source.mtime));
        EXPECT_EQ(TextOf(png, "Thumb::Size"), QString::number(source.size));
        EXPECT_EQ(TextOf(png, "Thumb::Mimetype"), "image/png");
        EXPECT_EQ(TextOf(png, "Thumb::Image::Width"), "600");
        EXPECT_EQ(TextOf(png, "Thumb::Image::Height"), "400");
        EXPECT_EQ(ModeOf(png), 0600u);
        EXPECT_EQ(ModeOf(QFileInfo(png).path()), 0700u);
        // Nothing but the thumbnail: no temporary file left behind.
        EXPECT_EQ(QDir(QFileInfo(png).path()).entryList(QDir::Files).size(), 1);
        EXPECT_FALSE(cache.Load(source, size).isNull());
    }
    EXPECT_EQ(ModeOf(s.Root()), 0700u);
}

TEST(ThumbnailCache, ThumbnailsFilesWhoseNamesAreNotUtf8)
{
    Scratch s;
    const QString picture = NativePath::Decode(NativePath::Encode(s.Pictures()) + "/caf\xe9 \xff.png");
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    Solid(QSize(64, 48), Qt::red).save(&buffer, "png");
    const int fd = open(NativePath::Encode(picture).constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, png.constData(), size_t(png.size())), png.size());
    close(fd);
    const CThumbnailCache cache(s.Root());
    ASSERT_EQ(Produce(cache, picture, 128).outcome, CThumbnailPool::kMade);
    EXPECT_TRUE(CThumbnailCache::UriOf(picture).endsWith("/caf%E9%20%FF.png"));
    EXPECT_EQ(TextOf(cache.PathFor(picture, 128), "Thumb::URI"), CThumbnailCache::UriOf(picture));
}

TEST(ThumbnailCache, RemakesStaleDamagedAndLyingThumbnails)
{
    // What happens to the cached PNG (or the picture) before the next look.
    struct Case
    {
        const char* what;
        std::function<void(const QString& picture, const QString& png)> spoil;
    };
    const Case cases[] = {
        {"picture modified", [](const QString& pic, const QString&) { SetMTime(pic, 1000); }},
        {"picture grew, same time",
         [](const QString& pic, const QString&)
         {
             struct stat st;
             stat(NativePath::Encode(pic).constData(), &st);
             QFile f(pic);
             f.open(QIODevice::Append);
             f.write("more");
             f.close();
             SetMTime(pic, st.st_mtime);
         }},
        {"PNG cut short",
         [](const QString&, const QString& png) { QFile(png).resize(QFile(png).size() / 2); }},
        {"not a PNG at all",
         [](const QString&, const QString& png)
         {
             QFile f(png);
             f.open(QIODevice::WriteOnly);
             f.write("garbage");
         }},
        {"PNG of another file",
         [](const QString&, const QString& png)
         {
             QImage other = Solid(QSize(10, 10), Qt::blue);
             other.setText("Thumb::URI", "file:///elsewhere.png");
             other.setText("Thumb::MTime", "1");
             Save(other, png);
         }},
        {"PNG larger than its size",
         [](const QString& pic, const QString& png)
         {
             CThumbnailCache::Source source;
             CThumbnailCache::StatSource(pic, source);
             QImage huge = Solid(QSize(2000, 10), Qt::blue);
             huge.setText("Thumb::URI", CThumbnailCache::UriOf(pic));
             huge.setText("Thumb::MTime", QString::number(source.mtime));
             Save(huge, png);
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Scratch s;
        const QString picture = s.Pictures() + "/p.png";
        Save(Solid(QSize(300, 300), Qt::red), picture);
        SetMTime(picture, 500);
        const CThumbnailCache cache(s.Root());
        ASSERT_EQ(Produce(cache, picture, 128).outcome, CThumbnailPool::kMade);
        const QString png = cache.PathFor(picture, 128);
        c.spoil(picture, png);
        CThumbnailCache::Source source;
        ASSERT_TRUE(CThumbnailCache::StatSource(picture, source));
        EXPECT_TRUE(cache.Load(source, 128).isNull());
        const CThumbnailPool::Result r = Produce(cache, picture, 128);
        ASSERT_EQ(r.outcome, CThumbnailPool::kMade);
        EXPECT_EQ(r.image.pixelColor(64, 64), QColor(Qt::red));
        EXPECT_EQ(TextOf(png, "Thumb::MTime"), QString::number(source.mtime));
        EXPECT_FALSE(cache.Load(source, 128).isNull());
    }
}

TEST(ThumbnailCache, RecordsFailuresUntilTheFileChanges)
{
    struct Case
    {
        const char* what;
        QByteArray bytes; // of the file
        bool bEntry;      // a failure entry is written
    };
    const Case cases[] = {
        {"damaged JPEG", QByteArray("\xFF\xD8\xFF\xE0garbage", 11), true},
        {"no picture at all", QByteArray("hello"), true},
        {"zero length", QByteArray(), true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Scratch s;
        const QString path = s.Pictures() + "/bad.jpg";
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        const CThumbnailCache cache(s.Root());
        EXPECT_EQ(Produce(cache, path, 256).outcome, CThumbnailPool::kFailed);
        CThumbnailCache::Source source;
        ASSERT_TRUE(CThumbnailCache::StatSource(path, source));
        EXPECT_EQ(cache.HasFailure(source), c.bEntry);
        EXPECT_FALSE(QFile::exists(cache.PathFor(path, 256)));
        EXPECT_EQ(ModeOf(cache.FailurePathFor(path)), 0600u);
        // Made good: the entry no longer stands for it.
        Save(Solid(QSize(40, 30), Qt::green), path, "jpg");
        SetMTime(path, 12345);
        ASSERT_TRUE(CThumbnailCache::StatSource(path, source));
        EXPECT_FALSE(cache.HasFailure(source));
        EXPECT_EQ(Produce(cache, path, 256).outcome, CThumbnailPool::kMade);
    }
    Scratch s;
    const CThumbnailCache cache(s.Root());
    EXPECT_EQ(Produce(cache, s.Pictures() + "/vanished.png", 128).outcome,
              CThumbnailPool::kFailed);
    EXPECT_FALSE(QDir(s.Root()).exists());
}

TEST(ThumbnailCache, UsesWhatIsThereAndCopesWithoutACache)
{
    Scratch s;
    const QString video = s.Pictures() + "/clip.mp4";
    QFile f(video);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not decodable here");
    f.close();
    const CThumbnailCache cache(s.Root());
    // No thumbnail of a non-picture, and no failure entry either.
    EXPECT_EQ(Produce(cache, video, 128, false).outcome, CThumbnailPool::kNone);
    EXPECT_FALSE(QDir(s.Root()).exists());
    // Another program's thumbnail is used as it is.
    CThumbnailCache::Source source;
    ASSERT_TRUE(CThumbnailCache::StatSource(video, source));
    QImage theirs = Solid(QSize(128, 72), Qt::magenta);
    theirs.setText("Thumb::URI", CThumbnailCache::UriOf(video));
    theirs.setText("Thumb::MTime", QString::number(source.mtime));
    QDir().mkpath(s.Root() + "/normal");
    Save(theirs, cache.PathFor(video, 128));
    const CThumbnailPool::Result r = Produce(cache, video, 128, false);
    ASSERT_EQ(r.outcome, CThumbnailPool::kMade);
    EXPECT_EQ(r.image.pixelColor(5, 5), QColor(Qt::magenta));

    // The cache's own files are shown but never thumbnailed themselves.
    const QString inside = cache.PathFor(video, 128);
    EXPECT_EQ(Produce(cache, inside, 128).outcome, CThumbnailPool::kMade);
    EXPECT_FALSE(QFile::exists(cache.PathFor(inside, 128)));

    // A cache folder that is a file: thumbnails still come, nothing is written.
    const QString blocked = s.dir.path() + "/blocked";
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString picture = s.Pictures() + "/p.png";
    Save(Solid(QSize(50, 50), Qt::red), picture);
    const CThumbnailCache nowhere(blocked);
    EXPECT_EQ(Produce(nowhere, picture, 128).outcome, CThumbnailPool::kMade);
    EXPECT_EQ(QFileInfo(blocked).size(), 0);
}

TEST(ThumbnailMaker, TakesTheExifThumbnailOnlyWhenItServes)
{
    Scratch s;
    struct Case
    {
        const char* what;
        QSize thumb;
        int size;
        bool bExif;
    };
    // The picture is 1200 x 800 and red; its thumbnail is green.
    const Case cases[] = {
        {"covers the normal size", QSize(192, 128), 128, true},
        {"too small for the large size", QSize(192, 128), 256, false},
        {"another shape (bars)", QSize(160, 160), 128, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const QString path = s.Pictures() + "/camera.jpg";
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(JpegWithExifThumbnail(Solid(QSize(1200, 800), Qt::red), Solid(c.thumb, Qt::green)));
        f.close();
        CThumbnailMaker maker;
        const CThumbnailMaker::Thumbnail t = maker.Make(path, c.size);
        ASSERT_FALSE(t.image.isNull());
        EXPECT_EQ(t.bFromExif, c.bExif);
        EXPECT_EQ(t.picture, QSize(1200, 800));
        EXPECT_EQ(t.image.size(), QSize(c.size, c.size == 128 ? 85 : 171));
        const QColor centre = t.image.pixelColor(t.image.width() / 2, t.image.height() / 2);
        EXPECT_EQ(centre.green() > 200, c.bExif) << centre.name().toStdString();
    }
}

TEST(ThumbnailMaker, KeepsAlphaAndNeverEnlarges)
{
    Scratch s;
    const QString path = s.Pictures() + "/icon.png";
    QImage icon(20, 10, QImage::Format_ARGB32);
    icon.fill(QColor(0, 0, 255, 128));
    Save(icon, path);
    CThumbnailMaker maker;
    const CThumbnailMaker::Thumbnail t = maker.Make(path, 256);
    ASSERT_EQ(t.image.size(), QSize(20, 10));
    EXPECT_TRUE(t.image.hasAlphaChannel());
    EXPECT_NEAR(t.image.pixelColor(3, 3).alpha(), 128, 1);
}

TEST(ThumbnailQueue, OrdersByScreenThenOutwardAndFollowsScrolls)
{
    struct Case
    {
        const char* what;
        int count, first, last;
        std::vector<int> expect; // the first pops
    };
    const Case cases[] = {
        {"on screen, then below and above by distance", 100, 40, 43,
         {40, 41, 42, 43, 44, 39, 45, 38, 46, 37}},
        {"at the top: then down only", 20, 0, 2, {0, 1, 2, 3, 4, 5}},
        {"at the bottom: then up only", 10, 8, 9, {8, 9, 7, 6, 5}},
        {"nothing shown yet: from the top", 5, 0, -1, {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CThumbnailQueue queue;
        queue.Reset(c.count);
        for (int row = 0; row < c.count; ++row)
            queue.Add(row);
        if (c.last >= c.first)
            queue.SetView(c.first, c.last);
        std::vector<int> got;
        int row = 0;
        while (got.size() < c.expect.size() && queue.Pop(row))
            got.push_back(row);
        EXPECT_EQ(got, c.expect);
    }
    // A scroll half-way: the new screen comes next, done rows never again,
    // a row added back is done in its place.
    CThumbnailQueue queue;
    queue.Reset(50);
    for (int row = 0; row < 50; ++row)
        queue.Add(row);
    queue.SetView(0, 4);
    int row = 0;
    for (int i = 0; i < 7; ++i)
        queue.Pop(row); // 0 to 6
    queue.Remove(31);
    queue.SetView(30, 32);
    std::vector<int> got;
    for (int i = 0; i < 4 && queue.Pop(row); ++i)
        got.push_back(row);
    EXPECT_EQ(got, (std::vector<int>{30, 32, 33, 29}));
    queue.Add(2);
    ASSERT_TRUE(queue.Pop(row));
    EXPECT_EQ(row, 34);
    int total = 1;
    bool sawTwo = false;
    while (queue.Pop(row))
    {
        sawTwo |= row == 2;
        EXPECT_TRUE(row >= 7 || row == 2) << row;
        ++total;
    }
    EXPECT_TRUE(sawTwo);
    EXPECT_EQ(total + 7 + 4, 50 - 1 + 1); // all but 31, and 2 twice
    queue.Reset(50);
    EXPECT_FALSE(queue.Pop(row));
}

TEST(ThumbnailPool, DeliversEveryJobAndDropsAnOldFolder)
{
    Scratch s;
    std::vector<CThumbnailPool::Job> jobs;
    for (int i = 0; i < 12; ++i)
    {
        const QString path = s.Pictures() + QString("/p%1.png").arg(i);
        Save(Solid(QSize(300, 200), QColor(i * 20, 0, 0)), path);
        jobs.push_back({i, path, true});
    }
    std::mutex lock;
    std::vector<CThumbnailPool::Result> results;
    CThumbnailPool pool(
        [&](CThumbnailPool::Result r)
        {
            std::lock_guard guard(lock);
            results.push_back(std::move(r));
        },
        2, s.Root());
    const quint64 first = pool.SetWork(12, jobs, 128);
    pool.WaitIdle();
    ASSERT_EQ(results.size(), 12u);
    for (const CThumbnailPool::Result& r : results)
    {
        EXPECT_EQ(r.nGeneration, first);
        EXPECT_EQ(r.outcome, CThumbnailPool::kMade);
        EXPECT_EQ(r.image.size(), QSize(128, 85));
    }
    // A new folder at once: the old one's waiting work is dropped.
    results.clear();
    std::vector<CThumbnailPool::Job> many;
    for (int i = 0; i < 2000; ++i)
        many.push_back({i, jobs[size_t(i % 12)].path, true});
    pool.SetWork(2000, many, 256);
    const quint64 next = pool.SetWork(0, {}, 256);
    pool.WaitIdle();
    EXPECT_LT(results.size(), 20u);
    EXPECT_GT(next, first);
}

TEST(ThumbnailMemory, KeepsTheRecentWithinItsBudget)
{
    const QImage image = Solid(QSize(100, 100), Qt::red); // 40,000 bytes
    CThumbnailMemory memory(3 * 40256 + 10);
    for (const char* key : {"a", "b", "c"})
        memory.Insert(key, image);
    ASSERT_NE(memory.Find("a"), nullptr); // "b" is now the least recent
    memory.Insert("d", image);
    EXPECT_EQ(memory.Find("b"), nullptr);
    for (const char* key : {"a", "c", "d"})
        EXPECT_NE(memory.Find(key), nullptr) << key;
    memory.Insert("d", Solid(QSize(10, 10), Qt::blue)); // replaced, not added
    EXPECT_EQ(memory.GetCount(), 3);
    EXPECT_EQ(memory.Find("d")->size(), QSize(10, 10));
    memory.Insert("huge", Solid(QSize(1000, 1000), Qt::red)); // over the whole budget
    EXPECT_EQ(memory.Find("huge"), nullptr);
    EXPECT_EQ(memory.GetCount(), 3);
    EXPECT_LE(memory.GetBytes(), 3u * 40256 + 10);
    EXPECT_NE(CThumbnailMemory::KeyOf("/p", 1, 2, 128), CThumbnailMemory::KeyOf("/p", 1, 3, 128));
}
