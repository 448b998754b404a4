// Placeholder until the clipboard lands.
#include "WinBmp.h"

bool CWinBmp::CopyToClipboard() const
{
    return false;
}
