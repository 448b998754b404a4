#include "JXLAnimation.h"

#include "JXLStream.h"
#include "PicDecoder.h"

CJXLAnimation::CJXLAnimation(CDataSource& source, bool applyOrientation)
    : CAnimation(source),
      m_pStream(std::make_unique<CJXLStream>(source.GetBufferPtr(), source.GetRemaining(),
                                             applyOrientation))
{
    m_nLoopCount = m_pStream->GetLoopCount();
    // The canvas is made with the first frame, which is read now so that the
    // animation has its size once open.
    m_bFirstRead = m_pStream->ReadFrame(m_Canvas, true, m_nFirstDelay);
    MarkAllDrawn();
    if (!m_bFirstRead)
        CPicDecoder::RaiseError(1, "Decoding jxl: The file holds no frame.");
}

CJXLAnimation::~CJXLAnimation() = default;

bool CJXLAnimation::ComposeNext(int& delayMs)
{
    if (m_bFirstRead)
    {
        m_bFirstRead = false;
        delayMs = m_nFirstDelay;
        return true;
    }
    // libjxl fills the whole canvas.
    MarkAllDrawn();
    return m_pStream->ReadFrame(m_Canvas, true, delayMs);
}

void CJXLAnimation::RestartFrames()
{
    m_bFirstRead = false;
    m_pStream->Rewind();
}
