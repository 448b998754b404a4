#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct CColourTransform;

/// Converts the rows of a picture's colours while its decoder goes on with
/// the rows after: rows handed over are converted on a thread of its own,
/// so that on a machine with a core to spare the conversion costs only the
/// last rows' time. Without a thread to be had, rows convert at once.
class CRowConverter
{
public:
    /// Rows of width 32-bit pixels through the transform.
    CRowConverter(std::shared_ptr<const CColourTransform> transform, size_t width);
    /// Waits for the rows handed over.
    ~CRowConverter();
    CRowConverter(const CRowConverter&) = delete;
    CRowConverter& operator=(const CRowConverter&) = delete;

    /// Hands n finished rows over; they must stay where they are until Finish.
    void Add(uint8_t* const* rows, size_t n);
    /// Converts n rows now, on the calling thread (rows in a buffer reused after).
    void ConvertNow(uint8_t* const* rows, size_t n) const;
    /// Waits until every row handed over is converted.
    void Finish();

private:
    void Work();

    std::shared_ptr<const CColourTransform> m_pTransform;
    size_t m_nWidth;
    std::mutex m_lock; // guards the two below
    std::vector<uint8_t*> m_queue;
    bool m_bDone = false;
    std::condition_variable m_wake;
    std::thread m_worker;
};
