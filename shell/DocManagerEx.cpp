#include "DocManagerEx.h"

bool CDocManagerEx::DoPromptFileName(QString& fileName, const QString& title, bool bOpenFileDialog,
                                     CDocTemplate* pTemplate)
{
    // The path buffer of the prompt holds 260 characters.
    fileName.truncate(260);
    return CDocManager::DoPromptFileName(fileName, title, bOpenFileDialog, pTemplate);
}
