#include "Animation.h"

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
    for (int y = 0; y < m_Canvas.GetHeight(); y++)
        std::memset(lines[y], 0, size_t(m_Canvas.GetLineSize()));
    m_nFrame = -1;
    m_nDelay = kMinDelay;
}
