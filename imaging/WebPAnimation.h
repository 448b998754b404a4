#pragma once
#include "Animation.h"

#include <vector>

struct WebPAnimDecoder;

/// The frames of an animated WebP file, composed by libwebpdemux (which
/// keeps the canvas and the disposed copy of the frame before).
class CWebPAnimation : public CAnimation
{
public:
    /// Reads the container; throws CTextException when it is damaged, too
    /// large for the budget or not animated.
    explicit CWebPAnimation(CDataSource& source);
    ~CWebPAnimation() override;

protected:
    bool ComposeNext(int& delayMs) override;
    void RestartFrames() override;

private:
    WebPAnimDecoder* m_pDecoder = nullptr;
    int m_nLastTimestamp = 0;
    std::vector<uint8_t> m_Icc; // each composed frame is converted by it
};
