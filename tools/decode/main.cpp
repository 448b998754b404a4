// vistrel-decode: decodes any picture the codec library reads, prints its
// size and depth, and optionally writes it as a Windows bitmap.
#include "AnyPicDecoder.h"
#include "DIBSection.h"
#include "TextException.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace
{
int Usage()
{
    std::fprintf(stderr,
                 "usage: vistrel-decode [--depth 0|32] [--no-orient] [--trace LEVEL FILE] INPUT "
                 "[OUTPUT.bmp]\n");
    return 2;
}

/// Writes the bitmap to a temporary file beside the target and renames it
/// over the target, so a failure never leaves a partial file behind.
void SaveAtomically(const CBmp& bmp, const std::string& path)
{
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "Creating " + path);
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
    {
        const int err = errno;
        ::close(fd);
        std::remove(temp.c_str());
        throw std::system_error(err, std::generic_category(), "Creating " + path);
    }
    try
    {
        bmp.SaveAsBmp(file);
        if (std::fflush(file) != 0 || fsync(fileno(file)) != 0)
            throw std::system_error(errno, std::generic_category(), "Writing " + path);
    }
    catch (...)
    {
        std::fclose(file);
        std::remove(temp.c_str());
        throw;
    }
    if (std::fclose(file) != 0)
    {
        const int err = errno;
        std::remove(temp.c_str());
        throw std::system_error(err, std::generic_category(), "Writing " + path);
    }
    // mkstemp creates 0600; a saved picture gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp.c_str(), 0666 & ~mask);
    if (std::rename(temp.c_str(), path.c_str()) != 0)
    {
        const int err = errno;
        std::remove(temp.c_str());
        throw std::system_error(err, std::generic_category(), "Renaming to " + path);
    }
}
} // namespace

int main(int argc, char** argv)
{
    int depth = 0;
    bool orient = true;
    std::string input, output;
    for (int i = 1; i < argc; i++)
    {
        const std::string arg = argv[i];
        if (arg == "--depth" && i + 1 < argc)
        {
            depth = std::atoi(argv[++i]);
            if (depth != 0 && depth != 32)
                return Usage();
        }
        else if (arg == "--no-orient")
            orient = false;
        else if (arg == "--trace" && i + 2 < argc)
        {
            const int level = std::atoi(argv[i + 1]);
            CPicDecoder::SetTraceConfig(level, argv[i + 2]);
            i += 2;
        }
        else if (arg.size() > 1 && arg[0] == '-')
            return Usage();
        else if (input.empty())
            input = arg;
        else if (output.empty())
            output = arg;
        else
            return Usage();
    }
    if (input.empty())
        return Usage();

    CAnyPicDecoder decoder;
    decoder.SetApplyOrientation(orient);
    CDIBSection bmp;
    try
    {
        decoder.DecodeFile(input, bmp, depth);
    }
    catch (const CTextException& e)
    {
        std::fprintf(stderr, "%s: error %d: %s", input.c_str(), e.GetCode(), e.GetText().c_str());
        if (e.GetText().empty() || e.GetText().back() != '\n')
            std::fputc('\n', stderr);
        return 1;
    }
    std::printf(" %d x %d; %d bpp; %d kb\n", bmp.GetWidth(), bmp.GetHeight(), bmp.GetBitsPerPixel(),
                int(bmp.GetMemoryUse() / 1024));
    if (!output.empty())
    {
        try
        {
            SaveAtomically(bmp, output);
        }
        catch (const std::system_error& e)
        {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    return 0;
}
