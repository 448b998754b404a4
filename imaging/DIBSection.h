#pragma once
#include "WinBmp.h"

/// Bitmap whose header and palette sit in one block and whose pixels sit in
/// separately owned storage (the platform's "DIB section").
class CDIBSection : public CWinBmp
{
public:
    CDIBSection();
    ~CDIBSection() override;

    /// The pixel storage that stands for the platform bitmap handle.
    uint8_t* GetBitmapHandle() const { return m_pBits; }

    /// Back to the initial 16 x 16 x 8 state.
    virtual void ResetStorage();

protected:
    void AllocateStorage(int width, int height, int bpp, bool alpha) override;
    void FreeStorage() override;
    void SetPointers(int bpp) override;
};
