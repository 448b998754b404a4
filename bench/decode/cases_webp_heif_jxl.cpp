// WebP, HEIC, AVIF and JPEG XL files made from a PNG of the picture with the
// formats' own encoders (cwebp, heif-enc, avifenc, cjxl). Qt reads WebP; the
// peer of HEIC and AVIF is libheif's own heif-convert, of JPEG XL djxl.
#include "Cases.h"
#include "Picture.h"

#include <QImage>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace
{
void Run(const std::string& command)
{
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

/// The picture as an RGB PNG at path.
void WritePng(const Picture& pic, const std::string& path)
{
    QImage img(pic.rgb.data(), pic.width, pic.height, pic.width * 3, QImage::Format_RGB888);
    if (!img.save(QString::fromStdString(path), "PNG"))
        throw std::runtime_error("cannot write " + path);
}

struct Encoded
{
    const char* name;
    const char* file;
    const char* encode; // %1 the PNG, %2 the output
    const char* peer;   // decodes %1 to %2 (empty: Qt reads it)
    const char* peerOut;
};

std::string Fill(std::string text, const std::string& in, const std::string& out)
{
    for (auto [key, value] : {std::pair{std::string("%1"), in}, std::pair{std::string("%2"), out}})
        for (size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, 2, value);
    return text;
}
} // namespace

void AddWebPHeifJxlCases(const CaseSetup& setup)
{
    // heif-convert and djxl write raw YUV and PPM, the cheapest outputs they have.
    static const Encoded kFiles[] = {
        {"WebP lossy", "photo.webp", "cwebp -q 85 %1 -o %2", "", ""},
        {"WebP lossless", "lossless.webp", "cwebp -lossless -z 3 %1 -o %2", "", ""},
        {"HEIC 8-bit", "photo.heic", "heif-enc -q 85 %1 -o %2", "heif-convert %1 %2", "out.y4m"},
        {"AVIF 8-bit", "photo.avif", "avifenc -s 8 -j 2 %1 %2", "heif-convert %1 %2", "out.y4m"},
        {"AVIF 10-bit", "photo10.avif", "avifenc -s 8 -j 2 -d 10 %1 %2", "heif-convert %1 %2",
         "out.y4m"},
        {"JPEG XL lossy", "photo.jxl", "cjxl -d 1 -e 3 %1 %2", "djxl %1 %2", "out.ppm"},
    };
    const std::string png = setup.dir + "/source.png";
    WritePng(Picture(setup.width, setup.height), png);
    // The peers' start-up is timed on a tiny picture of the same format and
    // taken off their times.
    const std::string tinyPng = setup.dir + "/tiny.png";
    WritePng(Picture(16, 16), tinyPng);
    for (const Encoded& e : kFiles)
    {
        const std::string path = setup.dir + "/" + e.file;
        Run(Fill(e.encode, png, path));
        if (!*e.peer)
        {
            RegisterCase(e.name, path);
            continue;
        }
        const std::string tiny = setup.dir + "/tiny-" + e.file;
        Run(Fill(e.encode, tinyPng, tiny));
        const std::string out = setup.dir + "/" + e.peerOut;
        RegisterPeerCase(e.name, path, Fill(e.peer, path, out) + " >/dev/null 2>&1",
                         Fill(e.peer, tiny, out) + " >/dev/null 2>&1");
    }
}
