// crypt_bench [MiB]: encrypts a file of random bytes (64 MiB unless given)
// with each cipher's file call, and runs Blowfish and OpenSSL's Blowfish
// in ECB over the same bytes in memory. Prints MB/s (10^6 bytes a second)
// and the ratios; each figure is the best of three runs.
#include "tarncrypt/Blowfish.h"
#include "tarncrypt/BlowfishOps.h"
#include "tarncrypt/Diamond2Ops.h"
#include "tarncrypt/Sapphire2Ops.h"

#include <openssl/blowfish.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace
{
class CDiamond2Bench : public CDiamond2Ops
{
public:
    using CDiamond2Ops::Encrypt_file;
};

/// Best of three timings of `work`, as MB/s over `bytes`.
double Throughput(size_t bytes, const std::function<void()>& work)
{
    double best = 1e300;
    for (int run = 0; run < 3; run++)
    {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return double(bytes) / best / 1e6;
}

void Check(int rc, const char* what)
{
    if (rc != 0)
    {
        std::fprintf(stderr, "%s failed with %d\n", what, rc);
        std::exit(1);
    }
}
} // namespace

int main(int argc, char** argv)
{
    const size_t mib = argc > 1 ? size_t(std::atoi(argv[1])) : 64;
    const size_t size = mib << 20;
    std::vector<uint8_t> data(size);
    std::mt19937_64 rng(1);
    for (size_t i = 0; i < size; i += 8)
    {
        const uint64_t v = rng();
        std::copy_n(reinterpret_cast<const uint8_t*>(&v), 8, data.data() + i);
    }

    const auto dir = std::filesystem::temp_directory_path() / "tarncrypt-bench";
    std::filesystem::create_directories(dir);
    const std::string in = (dir / "plain").string(), out = (dir / "cipher").string();
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(size));

    const uint8_t key[] = "benchmark key 16";
    std::printf("file encryption, %zu MiB (output flushed to disk):\n", mib);
    const double bfFile = Throughput(
        size,
        [&] { Check(CBlowfishOps().EncryptFileA(in.c_str(), out.c_str(), key, 16), "Blowfish"); });
    const double sapFile = Throughput(
        size,
        [&]
        {
            Check(CSapphire2Ops().EncryptFileA(in.c_str(), out.c_str(), "benchmark key 16"),
                  "Sapphire II");
        });
    const double diaFile = Throughput(
        size,
        [&] { Check(CDiamond2Bench::Encrypt_file(in.c_str(), out.c_str(), 16, key), "Diamond2"); });
    std::printf("  Blowfish     %8.1f MB/s\n  Sapphire II  %8.1f MB/s\n  Diamond2     %8.1f MB/s\n",
                bfFile, sapFile, diaFile);
    std::filesystem::remove_all(dir);

    std::printf("Blowfish ECB in memory, %zu MiB:\n", mib);
    CBlowfish ours(key, 16);
    const double oursRate =
        Throughput(size, [&] { ours.Encrypt(data.data(), uint32_t(data.size())); });
    BF_KEY bfKey;
    BF_set_key(&bfKey, 16, key);
    const double opensslRate =
        Throughput(size,
                   [&]
                   {
                       for (size_t i = 0; i < size; i += 8)
                           BF_ecb_encrypt(data.data() + i, data.data() + i, &bfKey, BF_ENCRYPT);
                   });
    std::printf("  Tarncrypt    %8.1f MB/s\n  OpenSSL      %8.1f MB/s\n", oursRate, opensslRate);
    std::printf("  time ratio Tarncrypt / OpenSSL: %.2f (goal: at most 1.5)\n",
                opensslRate / oursRate);
    return 0;
}
