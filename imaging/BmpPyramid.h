#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

class CBmp;

/// Reduced copies of a bitmap for drawing it small: each level halves the
/// one before it (level k is 2^-k of the picture, sides rounded up), every
/// pixel the average of the pixels it covers, so that a picture drawn small
/// keeps every detail instead of dropping pixels.
///
/// Levels are stored top-down as 32-bit pixels with premultiplied alpha
/// (bytes blue, green, red, alpha; alpha 255 for opaque pictures), so that
/// averages weight colours by their opacity. The levels together take at
/// most kBudget times the picture's own storage: for pictures of 8 bits and
/// less the largest levels are left out, and the picture itself serves down
/// to the first level there is.
/// A vector allocator whose resize leaves new elements unset, for storage
/// that is written whole right after (a level's pixels): no clearing first.
template <class T> struct CUnsetAllocator : std::allocator<T>
{
    template <class U> struct rebind
    {
        using other = CUnsetAllocator<U>;
    };
    CUnsetAllocator() = default;
    template <class U> CUnsetAllocator(const CUnsetAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

class CBmpPyramid
{
public:
    struct Level
    {
        int width = 0;
        int height = 0;
        std::vector<uint32_t, CUnsetAllocator<uint32_t>> pixels; // width * height, top row first
        const uint32_t* Row(int y) const { return pixels.data() + size_t(y) * size_t(width); }
    };

    static constexpr double kBudget = 0.4;
    /// Levels go down to 1/32 of the picture, the smallest zoom of a view.
    static constexpr int kMaxLevel = 5;

    /// Builds the levels of src (1, 8 or 32 bits; any other depth gets none).
    void Build(const CBmp& src);
    void Clear();

    /// The level k of the picture, or null when it was left out (or k is 0,
    /// the picture itself).
    const Level* GetLevel(int k) const;
    /// The level to draw at zoom: the smallest one no smaller than the
    /// picture at that zoom; 0 for the picture itself.
    int ChooseLevel(double zoom) const;
    /// Whether every pixel of the picture is opaque.
    bool IsOpaque() const { return m_bOpaque; }
    size_t GetMemoryUse() const;
    int GetSourceWidth() const { return m_nWidth; }
    int GetSourceHeight() const { return m_nHeight; }

private:
    /// Level `shift` straight from the picture: boxes of 2^shift pixels a side.
    void ReduceSource(const CBmp& src, int shift, Level& out);
    static void Halve(const Level& in, Level& out);

    std::vector<Level> m_levels; // m_levels[k - 1] is level k; empty where left out
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bOpaque = true;
};
