#include "JXLAnimation.h"

#include "JXLStream.h"

CJXLAnimation::CJXLAnimation(CDataSource& source, bool applyOrientation)
    : CAnimation(source),
      m_pStream(std::make_unique<CJXLStream>(source.GetBufferPtr(), source.GetRemaining(),
                                             applyOrientation))
{
    m_nLoopCount = m_pStream->GetLoopCount();
    m_Canvas.Create(m_pStream->GetWidth(), m_pStream->GetHeight(), 32, true);
}

CJXLAnimation::~CJXLAnimation() = default;

bool CJXLAnimation::ComposeNext(int& delayMs)
{
    MarkAllDrawn();
    return m_pStream->ReadFrame(m_Canvas, delayMs);
}

void CJXLAnimation::RestartFrames()
{
    m_pStream->Rewind();
}
