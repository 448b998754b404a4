#pragma once
#include "View.h"

#include <QByteArray>
#include <QPlainTextEdit>

/// The view of a project document: a plain-text edit that holds the whole
/// text of the project file. Its frame is never shown, so the view is the
/// document's text store; an edit marks the document modified.
class CProjectView : public QPlainTextEdit, public CView
{
    Q_OBJECT
public:
    CProjectView();
    QWidget* GetWidget() override { return this; }

    /// The text as the file holds it: the bytes loaded, until the text is
    /// edited; after an edit, the shown text with CR LF line ends.
    QByteArray GetProjectText() const;
    /// Replaces the whole text; it ends at the first zero byte.
    void SetProjectText(const QByteArray& text);

private:
    void OnTextChanged();

    QByteArray m_text;
    bool m_bSettingText = false;
};
