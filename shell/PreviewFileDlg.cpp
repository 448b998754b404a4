#include "PreviewFileDlg.h"

#include "PreviewPicture.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>

CPreviewFileDlg::CPreviewFileDlg(bool bOpenFileDialog, const QString& defaultExt,
                                 const QString& fileName, const QStringList& filters,
                                 QWidget* pParent)
    : QFileDialog(pParent)
{
    // The side panel needs Qt's own dialog; the names read as the filter
    // texts give them, without Qt repeating the patterns.
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setNameFilters(filters);
    setDefaultSuffix(defaultExt);
    // Opens where the program is (the folder of the picture opened last).
    setDirectory(QDir::currentPath());
    if (!fileName.isEmpty())
        selectFile(fileName);

    // Side panel: the picture area above the check box, a line at its left.
    auto* panel = new QWidget(this);
    auto* line = new QFrame(panel);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    m_wndPreview = new CPreviewPicture(panel);
    m_wndPreview->setFixedSize(134, 138);
    m_pCheck = new QCheckBox(QStringLiteral("&Preview"), panel);
    m_pCheck->setChecked(m_bPreview);
    auto* column = new QVBoxLayout;
    column->addSpacing(24);
    column->addWidget(m_wndPreview);
    column->addWidget(m_pCheck);
    column->addStretch();
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(line);
    row->addLayout(column);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);

    // Room for whole names, sizes and types in the detail view.
    QSize want = sizeHint().expandedTo(QSize(880, 520));
    if (const QScreen* screen = pParent ? pParent->screen() : QGuiApplication::primaryScreen())
        want = want.boundedTo(screen->availableSize());
    resize(want);
    if (auto* tree = findChild<QTreeView*>(QStringLiteral("treeView")))
    {
        const int em = tree->fontMetrics().horizontalAdvance(QLatin1Char('M'));
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        header->resizeSection(1, 8 * em);
        header->resizeSection(2, 10 * em);
        header->resizeSection(3, 15 * em);
    }

    connect(this, &QFileDialog::currentChanged, this, &CPreviewFileDlg::OnFileNameChange);
    connect(m_pCheck, &QCheckBox::clicked, this, &CPreviewFileDlg::OnPreviewClicked);
}

void CPreviewFileDlg::OnFileNameChange(const QString& path)
{
    m_strCurrent = path;
    if (m_bPreview)
        m_wndPreview->LoadPreview(path);
}

void CPreviewFileDlg::OnPreviewClicked(bool bChecked)
{
    m_bPreview = bChecked;
    if (m_bPreview)
        m_wndPreview->LoadPreview(m_strCurrent);
    else
        m_wndPreview->ClearPreview();
}
