#include "RowConverter.h"

#include "ColourManager.h"

#include <system_error>

CRowConverter::CRowConverter(std::shared_ptr<const CColourTransform> transform, size_t width)
    : m_pTransform(std::move(transform)), m_nWidth(width)
{
    try
    {
        m_worker = std::thread([this] { Work(); });
    }
    catch (const std::system_error&)
    {
        // No thread: Add converts at once.
    }
}

CRowConverter::~CRowConverter()
{
    Finish();
}

void CRowConverter::Add(uint8_t* const* rows, size_t n)
{
    if (!m_worker.joinable())
    {
        ConvertNow(rows, n);
        return;
    }
    {
        std::lock_guard guard(m_lock);
        m_queue.insert(m_queue.end(), rows, rows + n);
    }
    m_wake.notify_one();
}

void CRowConverter::ConvertNow(uint8_t* const* rows, size_t n) const
{
    for (size_t i = 0; i < n; i++)
        CColourManager::ConvertPixels(*m_pTransform, rows[i], m_nWidth);
}

void CRowConverter::Finish()
{
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard guard(m_lock);
        m_bDone = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void CRowConverter::Work()
{
    std::vector<uint8_t*> rows;
    for (;;)
    {
        {
            std::unique_lock guard(m_lock);
            m_wake.wait(guard, [this] { return m_bDone || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            rows.swap(m_queue);
        }
        ConvertNow(rows.data(), rows.size());
        rows.clear();
    }
}
