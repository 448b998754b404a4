#pragma once
#include "FileTransfer.h"

class QWidget;

/// Asks what to do about an entry a transfer could not carry: "Skip",
/// "Skip All", "Retry" or "Cancel". While a message-box hook is installed
/// (tests), the question goes to it as an abort/retry/ignore box: ignore
/// skips, retry retries, anything else cancels.
class CTransferErrorPrompt
{
public:
    static CFileTransfer::ErrorAnswer Ask(QWidget* pOwner, const CFileTransfer::Error& error);
};
