// vistrel-bench-decode: decode speed of the codec library against Qt's
// QImageReader on large generated files, the memory our decode needs beyond
// its bitmap, and the time and memory of the test data's resource bombs.
//
//   vistrel-bench-decode [--quick] [--reps N] [--only TEXT] [--keep] [--size WxH]
//
// --quick uses small pictures and one repetition, for a smoke run; it fails
// when a file does not decode or both readers disagree on its size. --keep
// leaves the generated files in their folder for profiling. --size sets the
// pictures' size (4000x3000 by default; 6000x4000 is a 24-megapixel photo).
#include "Cases.h"
#include "Measure.h"

#include "AnyPicDecoder.h"
#include "DIBSection.h"
#include "FileSource.h"
#include "TextException.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
/// What our decode may need beyond its bitmap.
constexpr long long kMemoryGoal = 16ll << 20;

struct BenchCase
{
    std::string name;
    std::string path;
    std::string peer;        // a command; empty for QImageReader
    std::string peerStartup; // the command on a tiny picture
};

std::vector<BenchCase>& Registry()
{
    static std::vector<BenchCase> cases;
    return cases;
}

struct Options
{
    bool quick = false;
    int reps = 5;
    std::string only; // run only cases whose name contains this
    bool keep = false;
    int width = 4000;
    int height = 3000;
};

struct Result
{
    int width = 0;
    int height = 0;
    double oursSeconds = 0;
    double qtSeconds = -1; // < 0: Qt cannot read the file
    double bestRatio = 0;
    long long peakOverBitmap = -1;
    bool sizesAgree = true;
};

/// Our decode as the viewer does it: the file mapped by DecodeFile, automatic depth.
void DecodeOurs(CAnyPicDecoder& decoder, const std::string& path, CDIBSection& bmp)
{
    decoder.DecodeFile(path, bmp, 0);
}

QImage DecodeQt(const std::string& path)
{
    QImageReader reader(QString::fromStdString(path));
    return reader.read();
}

/// The input's pages are made resident before the baseline, so the figure is
/// the decoder's own working memory plus the bitmap, not the file's size.
long long MeasureOurPeak(CAnyPicDecoder& decoder, const std::string& path)
{
    CFileSource source;
    CDIBSection bmp;
    return PeakResidentGrowth(
        [&]
        {
            if (source.Open(path) != 0)
                throw std::runtime_error("cannot map " + path);
            unsigned sum = 0;
            for (size_t i = 0; i < source.GetFileSize(); i += 4096)
                sum += source.GetStart()[i];
            volatile unsigned sink = sum;
            (void)sink;
        },
        [&] { decoder.DecodeSource(source, bmp, 0); });
}

/// The peer command's seconds for the case, its start-up taken off.
double TimePeer(const BenchCase& c)
{
    auto run = [](const std::string& command)
    {
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("peer failed: " + command);
    };
    return std::max(1e-6, TimeOnce([&] { run(c.peer); }) - TimeOnce([&] { run(c.peerStartup); }));
}

Result RunCase(CAnyPicDecoder& decoder, const BenchCase& c, const Options& opt)
{
    Result r;
    const bool hasPeer = !c.peer.empty();
    const bool qtReads = hasPeer || QImageReader(QString::fromStdString(c.path)).canRead();

    // Warm-up, which also yields the sizes.
    size_t bitmapBytes = 0;
    {
        CDIBSection bmp;
        DecodeOurs(decoder, c.path, bmp);
        r.width = bmp.GetWidth();
        r.height = bmp.GetHeight();
        bitmapBytes = bmp.GetMemoryUse();
    }
    if (qtReads && !hasPeer)
    {
        const QImage img = DecodeQt(c.path);
        r.sizesAgree = img.width() == r.width && img.height() == r.height;
    }

    std::vector<double> ours, qt;
    double bestOurs = 1e30, bestQt = 1e30;
    for (int i = 0; i < opt.reps; i++)
    {
        {
            CDIBSection bmp;
            ours.push_back(TimeOnce([&] { DecodeOurs(decoder, c.path, bmp); }));
            bestOurs = std::min(bestOurs, ours.back());
        }
        if (hasPeer)
        {
            qt.push_back(TimePeer(c));
            bestQt = std::min(bestQt, qt.back());
        }
        else if (qtReads)
        {
            QImage img;
            qt.push_back(TimeOnce([&] { img = DecodeQt(c.path); }));
            bestQt = std::min(bestQt, qt.back());
            if (img.isNull())
                r.sizesAgree = false;
        }
    }
    r.oursSeconds = Median(ours);
    if (qtReads)
    {
        r.qtSeconds = Median(qt);
        r.bestRatio = bestQt / bestOurs;
    }
    const long long peak = MeasureOurPeak(decoder, c.path);
    if (peak >= 0)
        r.peakOverBitmap = peak - (long long)bitmapBytes;
    return r;
}

void PrintRow(const BenchCase& c, const Result& r)
{
    const double mp = double(r.width) * r.height / 1e6;
    char qtRate[32] = "n/a", ratio[32] = "n/a", best[32] = "n/a", mem[32] = "n/a";
    if (r.qtSeconds >= 0)
    {
        std::snprintf(qtRate, sizeof qtRate, "%.1f", mp / r.qtSeconds);
        std::snprintf(ratio, sizeof ratio, "%.2f", r.qtSeconds / r.oursSeconds);
        std::snprintf(best, sizeof best, "%.2f", r.bestRatio);
    }
    if (r.peakOverBitmap != -1)
        std::snprintf(mem, sizeof mem, "%.1f", double(r.peakOverBitmap) / (1024.0 * 1024.0));
    const double fileMiB = double(std::filesystem::file_size(c.path)) / (1024.0 * 1024.0);
    std::printf("%-22s %5d x %-5d %8.1f %9.1f %9s %7s %6s %12s%s%s\n", c.name.c_str(), r.width,
                r.height, fileMiB, mp / r.oursSeconds, qtRate, ratio, best, mem,
                r.peakOverBitmap > kMemoryGoal ? "  over 16 MiB" : "",
                r.sizesAgree ? "" : "  SIZE MISMATCH");
    std::fflush(stdout);
}

/// A bomb must fail within these.
constexpr double kBombSeconds = 1.0;
constexpr long long kBombMemory = 64ll << 20;

/// The resource bombs of the test data: each must fail; prints its error
/// code, our time and peak memory, and Qt's time on the same file. Returns
/// the number that decoded.
int RunBombs(CAnyPicDecoder& decoder, const Options& opt)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(VISTREL_TESTDATA "/bombs"))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    std::printf("\nresource bombs: our error, time and peak memory; Qt's time\n");
    std::printf("%-22s %6s %5s %9s %9s %9s\n", "file", "bytes", "code", "ours ms", "peak MiB",
                "Qt ms");
    int decoded = 0;
    for (const std::string& path : files)
    {
        int code = 0;
        auto decode = [&]
        {
            CDIBSection bmp;
            try
            {
                decoder.DecodeFile(path, bmp, 0);
            }
            catch (const CTextException& e)
            {
                code = e.GetCode();
            }
        };
        std::vector<double> ours, qt;
        for (int i = 0; i < opt.reps; i++)
        {
            ours.push_back(TimeOnce(decode));
            qt.push_back(TimeOnce([&] { (void)DecodeQt(path); }));
        }
        const long long peak = PeakResidentGrowth([] {}, decode);
        const double seconds = Median(ours);
        std::printf("%-22s %6lld %5d %9.3f %9.1f %9.3f%s%s\n",
                    std::filesystem::path(path).filename().c_str(),
                    (long long)std::filesystem::file_size(path), code, seconds * 1e3,
                    double(peak) / (1024.0 * 1024.0), Median(qt) * 1e3,
                    seconds > kBombSeconds ? "  over 1 s" : "",
                    peak > kBombMemory ? "  over 64 MiB" : "");
        if (code == 0)
            decoded++;
    }
    return decoded;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: vistrel-bench-decode [--quick] [--reps N] [--only TEXT] [--keep] "
                 "[--size WxH]\n");
    return 2;
}
} // namespace

void RegisterCase(const std::string& name, const std::string& path)
{
    Registry().push_back({name, path, {}, {}});
}

void RegisterPeerCase(const std::string& name, const std::string& path, const std::string& command,
                      const std::string& startup)
{
    Registry().push_back({name, path, command, startup});
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options opt;
    for (int i = 1; i < argc; i++)
    {
        const std::string arg = argv[i];
        if (arg == "--quick")
            opt.quick = true;
        else if (arg == "--reps" && i + 1 < argc)
            opt.reps = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--only" && i + 1 < argc)
            opt.only = argv[++i];
        else if (arg == "--keep")
            opt.keep = true;
        else if (arg == "--size" && i + 1 < argc &&
                 std::sscanf(argv[++i], "%dx%d", &opt.width, &opt.height) == 2 &&
                 opt.width > 0 && opt.height > 0)
        {
        }
        else
            return Usage();
    }
    if (opt.quick)
        opt.reps = 1;

    std::string dir = (std::filesystem::temp_directory_path() / "vistrel-bench-XXXXXX").string();
    if (!mkdtemp(dir.data()))
    {
        std::perror("mkdtemp");
        return 1;
    }
    const CaseSetup setup{dir, opt.quick ? 400 : opt.width, opt.quick ? 300 : opt.height};
    int failures = 0;
    try
    {
        AddBmpTgaCases(setup);
        AddPngJpegTiffCases(setup);
        AddGifCases(setup);
        AddWebPHeifJxlCases(setup);

        std::printf("%d repetition(s) each, median; ratio = our speed / the peer's (>= 1: ours "
                    "faster);\nthe peer is Qt's QImageReader, for HEIC/AVIF heif-convert and for "
                    "JPEG XL djxl\n(their start-up taken off);\n"
                    "peak-bmp = resident memory of our decode at its peak less the bitmap\n\n",
                    opt.reps);
        std::printf("%-22s %-13s %8s %9s %9s %7s %6s %12s\n", "case", "size", "file MiB",
                    "ours MP/s", "peer MP/s", "ratio", "best", "peak-bmp MiB");
        CAnyPicDecoder decoder; // one decoder for every file, as the program has
        for (const BenchCase& c : Registry())
        {
            if (!opt.only.empty() && c.name.find(opt.only) == std::string::npos)
                continue;
            try
            {
                const Result r = RunCase(decoder, c, opt);
                PrintRow(c, r);
                if (!r.sizesAgree)
                    failures++;
            }
            catch (const std::exception& e)
            {
                std::printf("%-22s failed: %s\n", c.name.c_str(), e.what());
                failures++;
            }
        }
        if (opt.only.empty())
            failures += RunBombs(decoder, opt);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "%s\n", e.what());
        failures++;
    }
    if (opt.keep)
        std::printf("\nfiles kept in %s\n", dir.c_str());
    else
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return failures == 0 ? 0 : 1;
}
