#pragma once
#include "FileTransfer.h"

class QWidget;

/// Asks whether an existing file is replaced: "Replace", "Skip" or "Cancel",
/// with "Apply to all" for the conflicts that follow. While a message-box hook
/// is installed (tests), the question goes to it as a yes/no/cancel box:
/// yes replaces, no skips.
class CReplacePrompt
{
public:
    static CFileTransfer::Reply Ask(QWidget* pOwner, const CFileTransfer::Conflict& conflict);
    /// The question's text.
    static QString Text(const CFileTransfer::Conflict& conflict);
};
