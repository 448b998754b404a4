#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

/// The order in which a folder's thumbnails are made: the rows on screen
/// first, then outward from them, the nearest rows first and a row below
/// before the row above at the same distance, so the next screenful each way
/// is ready before the rest of the folder. A scroll re-orders what is still
/// waiting at once. Not thread-safe: its owner guards it.
class CThumbnailQueue
{
public:
    /// A folder of count rows, none of them waiting.
    void Reset(int count);
    /// The row waits for its thumbnail (again).
    void Add(int row);
    void Remove(int row);
    /// Rows first to last (inclusive) are on screen.
    void SetView(int first, int last);
    /// Takes the most urgent waiting row; false when none waits.
    bool Pop(int& row);
    int GetWaiting() const { return m_nWaiting; }

private:
    void Rebuild();

    std::vector<uint8_t> m_waiting; // per row
    std::vector<int> m_order;       // every row, most urgent first
    std::vector<int> m_position;    // each row's place in m_order
    size_t m_nNext = 0;             // no waiting row lies before this place
    int m_nWaiting = 0;
    int m_nFirst = 0;
    int m_nLast = -1;
};
