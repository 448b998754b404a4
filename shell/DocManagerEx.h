#pragma once
#include "DocManager.h"

/// The program's document manager: its own file prompt over the filters of
/// the registered templates.
class CDocManagerEx : public CDocManager
{
public:
    bool DoPromptFileName(QString& fileName, const QString& title, bool bOpenFileDialog,
                          CDocTemplate* pTemplate) override;
};
