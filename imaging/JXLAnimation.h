#pragma once
#include "Animation.h"

#include <memory>

class CJXLStream;

/// The frames of an animated JPEG XL file; libjxl composes each frame onto
/// the ones before.
class CJXLAnimation : public CAnimation
{
public:
    /// Throws CTextException when the data is damaged or too large.
    CJXLAnimation(CDataSource& source, bool applyOrientation);
    ~CJXLAnimation() override;

protected:
    bool ComposeNext(int& delayMs) override;
    void RestartFrames() override;

private:
    std::unique_ptr<CJXLStream> m_pStream;
};
