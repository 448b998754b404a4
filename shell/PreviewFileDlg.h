#pragma once
#include <QDialog>
#include <QStringList>

class CPreviewPicture;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QStandardItemModel;
class QTreeView;

/// The program's open (and save) dialog: a folder's entries, the file name,
/// the file types, and a preview of the selected picture beside them.
/// It reads folders itself, so that names that are not valid UTF-8 are
/// listed and chosen with their bytes (Qt's file dialog leaves them out).
class CPreviewFileDlg : public QDialog
{
    Q_OBJECT
public:
    /// filters are "name (patterns)" entries, patterns separated by spaces;
    /// the names are shown without their patterns. fileName, when given,
    /// is selected (and its folder shown when it has one).
    CPreviewFileDlg(bool bOpenFileDialog, const QString& defaultExt, const QString& fileName,
                    const QStringList& filters, QWidget* pParent);

    CPreviewPicture* GetPreview() const { return m_wndPreview; }
    QCheckBox* GetPreviewCheck() const { return m_pCheck; }
    /// The folder shown.
    const QString& GetFolder() const { return m_strFolder; }
    void SetFolder(const QString& folder, const QString& select = QString());
    /// The chosen file after the dialog was accepted.
    const QString& GetPathName() const { return m_strPathName; }

    void accept() override;

signals:
    /// The entry under the cursor changed (a file or a folder).
    void currentChanged(const QString& path);

private:
    /// Lists the folder shown, the entry named select selected; false
    /// (the list unchanged) when the folder cannot be read.
    bool Fill(const QString& select);
    QString TypedPath() const;
    void OnCurrentRow(const QModelIndex& index);
    void OnFolderEdited();
    void OnUp();
    void OnFileNameChange(const QString& path);
    void OnPreviewClicked(bool bChecked);
    bool Matches(const QString& name) const;

    bool m_bOpen;
    QString m_strDefaultExt;
    QList<QStringList> m_patterns; // per file type, lower-case
    QString m_strFolder;
    QString m_strChosenName; // the selected entry's real name, shown in the name field
    QString m_strPathName;

    QLineEdit* m_pFolderEdit = nullptr;
    QTreeView* m_pTree = nullptr;
    QStandardItemModel* m_pModel = nullptr;
    QLineEdit* m_pNameEdit = nullptr;
    QComboBox* m_pTypes = nullptr;
    QPushButton* m_pAccept = nullptr;
    CPreviewPicture* m_wndPreview = nullptr;
    QCheckBox* m_pCheck = nullptr;
    bool m_bPreview = true;
    QString m_strCurrent;
};
