#pragma once
#include <QFileDialog>

class CPreviewPicture;
class QCheckBox;

/// The program's file prompt: Qt's own file dialog with a side panel that
/// previews the selected file ("&Preview" switches it on and off).
class CPreviewFileDlg : public QFileDialog
{
    Q_OBJECT
public:
    /// filters are "name (patterns)" entries; the names are shown without
    /// their patterns.
    CPreviewFileDlg(bool bOpenFileDialog, const QString& defaultExt, const QString& fileName,
                    const QStringList& filters, QWidget* pParent);

    CPreviewPicture* GetPreview() const { return m_wndPreview; }
    QCheckBox* GetPreviewCheck() const { return m_pCheck; }

private:
    void OnFileNameChange(const QString& path);
    void OnPreviewClicked(bool bChecked);

    CPreviewPicture* m_wndPreview = nullptr;
    QCheckBox* m_pCheck = nullptr;
    bool m_bPreview = true;
    QString m_strCurrent;
};
