#include "ThumbnailQueue.h"

#include <algorithm>

void CThumbnailQueue::Reset(int count)
{
    count = std::max(count, 0);
    m_waiting.assign(size_t(count), 0);
    m_nWaiting = 0;
    m_nFirst = 0;
    m_nLast = -1;
    Rebuild();
}

void CThumbnailQueue::Add(int row)
{
    if (row < 0 || size_t(row) >= m_waiting.size() || m_waiting[size_t(row)])
        return;
    m_waiting[size_t(row)] = 1;
    ++m_nWaiting;
    m_nNext = std::min(m_nNext, size_t(m_position[size_t(row)]));
}

void CThumbnailQueue::Remove(int row)
{
    if (row < 0 || size_t(row) >= m_waiting.size() || !m_waiting[size_t(row)])
        return;
    m_waiting[size_t(row)] = 0;
    --m_nWaiting;
}

void CThumbnailQueue::SetView(int first, int last)
{
    const int count = int(m_waiting.size());
    first = std::clamp(first, 0, std::max(count - 1, 0));
    last = std::clamp(last, first, std::max(count - 1, 0));
    if (first == m_nFirst && last == m_nLast)
        return;
    m_nFirst = first;
    m_nLast = last;
    Rebuild();
}

void CThumbnailQueue::Rebuild()
{
    const int count = int(m_waiting.size());
    m_order.clear();
    m_order.reserve(size_t(count));
    const int first = std::min(m_nFirst, count), last = std::min(m_nLast, count - 1);
    for (int row = first; row <= last; ++row)
        m_order.push_back(row);
    // Outward from the rows on screen (from the top when nothing is shown).
    const int below = last >= first ? last + 1 : first, above = first - 1;
    for (int d = 0; below + d < count || above - d >= 0; ++d)
    {
        if (below + d < count)
            m_order.push_back(below + d);
        if (above - d >= 0)
            m_order.push_back(above - d);
    }
    m_position.resize(size_t(count));
    for (size_t i = 0; i < m_order.size(); ++i)
        m_position[size_t(m_order[i])] = int(i);
    m_nNext = 0;
}

bool CThumbnailQueue::Pop(int& row)
{
    while (m_nWaiting > 0 && m_nNext < m_order.size())
    {
        const int candidate = m_order[m_nNext++];
        if (m_waiting[size_t(candidate)])
        {
            m_waiting[size_t(candidate)] = 0;
            --m_nWaiting;
            row = candidate;
            return true;
        }
    }
    return false;
}
