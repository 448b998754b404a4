#include "Picture.h"

#include <algorithm>
#include <cmath>

namespace
{
/// xorshift32: the same content on every run.
struct Noise
{
    uint32_t state = 0x9E3779B9u;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Spread(int amplitude) { return int(Next() % uint32_t(2 * amplitude + 1)) - amplitude; }
};

uint8_t Clamp(double v)
{
    return uint8_t(std::clamp(v, 0.0, 255.0));
}
} // namespace

Picture::Picture(int w, int h)
    : width(w), height(h), rgb(size_t(w) * size_t(h) * 3), alpha(size_t(w) * size_t(h)),
      gray(size_t(w) * size_t(h))
{
    Noise noise;
    for (int y = 0; y < h; y++)
    {
        const double fy = double(y) / h;
        for (int x = 0; x < w; x++)
        {
            const double fx = double(x) / w;
            const double blob = 60 * std::sin(fx * 9.0 + std::cos(fy * 5.0)) * std::cos(fy * 7.0);
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const uint8_t r = Clamp(200 * fx + blob + noise.Spread(6));
            const uint8_t g = Clamp(180 * fy + 0.5 * blob + noise.Spread(6) + 30);
            const uint8_t b = Clamp(220 * (1 - fx) * (1 - fy) - blob + noise.Spread(6) + 20);
            rgb[3 * i] = r;
            rgb[3 * i + 1] = g;
            rgb[3 * i + 2] = b;
            alpha[i] = Clamp(255 * (0.5 + 0.5 * std::sin(fx * 6.0 + fy * 4.0)) + noise.Spread(4));
            gray[i] = uint8_t((77 * r + 150 * g + 29 * b) >> 8);
        }
    }
}

void Picture::PaletteColour(int i, uint8_t& r, uint8_t& g, uint8_t& b)
{
    if (i >= 252)
    {
        r = g = b = 0;
        return;
    }
    r = uint8_t(i / 42 * 51);
    g = uint8_t(i / 6 % 7 * 42);
    b = uint8_t(i % 6 * 51);
}

std::vector<uint8_t> Picture::Indices() const
{
    std::vector<uint8_t> out(size_t(width) * size_t(height));
    for (size_t i = 0; i < out.size(); i++)
    {
        const int r = (rgb[3 * i] + 25) / 51;
        const int g = (rgb[3 * i + 1] + 21) / 42;
        const int b = (rgb[3 * i + 2] + 25) / 51;
        out[i] = uint8_t(r * 42 + std::min(g, 6) * 6 + b);
    }
    return out;
}

std::vector<uint8_t> Picture::RunIndices() const
{
    std::vector<uint8_t> out(size_t(width) * size_t(height));
    Noise noise;
    int value = 100;
    for (int y = 0; y < height; y++)
    {
        uint8_t* row = out.data() + size_t(y) * size_t(width);
        int x = 0;
        while (x < width)
        {
            const int n = std::min(int(1 + noise.Next() % 60), width - x);
            value = std::clamp(value + noise.Spread(12), 0, 251);
            std::fill_n(row + x, n, uint8_t(value));
            x += n;
        }
    }
    return out;
}
