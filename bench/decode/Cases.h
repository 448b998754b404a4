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

/// Writes the BMP and Targa inputs and registers them.
void AddBmpTgaCases(const CaseSetup& setup);
/// Writes the PNG, JPEG and TIFF inputs and registers them.
void AddPngJpegTiffCases(const CaseSetup& setup);
/// Writes the GIF inputs and registers them.
void AddGifCases(const CaseSetup& setup);
