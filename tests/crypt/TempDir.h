#pragma once
// A fresh temporary folder per test, with small file helpers.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class CTempDir
{
public:
    CTempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarncrypt.XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~CTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline Bytes RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes data(size);
    for (auto& b : data)
        b = uint8_t(rng());
    return data;
}

inline void WriteFile(const std::string& path, const Bytes& data)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

/// Lengths around the block and piece boundaries, and a few large ones.
inline std::vector<size_t> TestLengths()
{
    std::vector<size_t> lengths = {0, 1, 7, 8, 15, 16, 2047, 2048, 2049, 4100};
    std::mt19937 rng(20240607);
    for (int i = 0; i < 3; i++)
        lengths.push_back(100000 + rng() % 400000);
    lengths.push_back(16384 * 3 + 5);
    return lengths;
}
