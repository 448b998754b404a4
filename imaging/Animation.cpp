#include "Animation.h"

#include <algorithm>
#include <cstring>

CAnimation::~CAnimation() = default;

bool CAnimation::NextFrame()
{
    int delay = 0;
    if (!ComposeNext(delay))
        return false;
    m_nFrame++;
    m_nDelay = PlayedDelay(delay);
    return true;
}

void CAnimation::Rewind()
{
    RestartFrames();
    uint8_t** lines = m_Canvas.GetLineArray();
    const size_t offset = 4 * size_t(m_DrawnLeft), bytes = 4 * size_t(m_DrawnRight - m_DrawnLeft);
    for (int y = m_DrawnTop; y < m_DrawnBottom; y++)
        std::memset(lines[y] + offset, 0, bytes);
    m_DrawnLeft = m_DrawnTop = m_DrawnRight = m_DrawnBottom = 0;
    m_nFrame = -1;
    m_nDelay = kMinDelay;
}

void CAnimation::MarkDrawn(int left, int top, int right, int bottom)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_Canvas.GetWidth());
    bottom = std::min(bottom, m_Canvas.GetHeight());
    if (left >= right || top >= bottom)
        return;
    if (m_DrawnLeft >= m_DrawnRight)
    {
        m_DrawnLeft = left, m_DrawnTop = top, m_DrawnRight = right, m_DrawnBottom = bottom;
        return;
    }
    m_DrawnLeft = std::min(m_DrawnLeft, left);
    m_DrawnTop = std::min(m_DrawnTop, top);
    m_DrawnRight = std::max(m_DrawnRight, right);
    m_DrawnBottom = std::max(m_DrawnBottom, bottom);
}
