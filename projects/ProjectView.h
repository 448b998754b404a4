#pragma once
#include "View.h"

#include <QPlainTextEdit>

/// The view of a project document (an edit view; its frame is never shown).
class CProjectView : public QPlainTextEdit, public CView
{
    Q_OBJECT
public:
    CProjectView() { setReadOnly(true); }
    QWidget* GetWidget() override { return this; }
};
