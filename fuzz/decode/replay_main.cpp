// Replays files and folders (recursively) through the fuzz target, so that
// every test run exercises the corpus without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace
{
int Replay(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    int failures = 0, files = 0;
    for (int i = 1; i < argc; i++)
    {
        const fs::path arg = argv[i];
        if (fs::is_directory(arg))
        {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                {
                    failures += Replay(entry.path());
                    files++;
                }
        }
        else
        {
            failures += Replay(arg);
            files++;
        }
    }
    std::printf("replayed %d files\n", files);
    return failures ? 1 : 0;
}
