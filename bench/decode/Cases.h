#pragma once
#include <string>

/// Where the generators write their files and how large the pictures are.
struct CaseSetup
{
    std::string dir;
    int width;
    int height;
};

/// Adds one file to the benchmark under a name.
void RegisterCase(const std::string& name, const std::string& path);
/// Adds one file whose peer is a command instead of Qt's reader: `command`
/// decodes it, `startup` does the same for a tiny picture; the difference of
/// their times is the peer's.
void RegisterPeerCase(const std::string& name, const std::string& path, const std::string& command,
                      const std::string& startup);

/// Writes the BMP and Targa inputs and registers them.
void AddBmpTgaCases(const CaseSetup& setup);
/// Writes the PNG, JPEG and TIFF inputs and registers them.
void AddPngJpegTiffCases(const CaseSetup& setup);
/// Writes the GIF inputs and registers them.
void AddGifCases(const CaseSetup& setup);
/// Writes the WebP, HEIC, AVIF and JPEG XL inputs and registers them.
void AddWebPHeifJxlCases(const CaseSetup& setup);
