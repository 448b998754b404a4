#include "PreviewFileDlg.h"

#include "DirectoryReader.h"
#include "FileName.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "PreviewPicture.h"
#include "SHFileInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <unistd.h>

namespace
{
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kFolderRole = Qt::UserRole + 2;
constexpr int kNameRole = Qt::UserRole + 3;

/// The working folder with its bytes (QDir::currentPath would replace
/// those of a name that is not UTF-8).
QString CurrentFolder()
{
    QByteArray buffer(4096, '\0');
    if (!getcwd(buffer.data(), size_t(buffer.size())))
        return QDir::homePath();
    return NativePath::Decode(buffer.constData(), qsizetype(qstrlen(buffer.constData())));
}

QString ParentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString NameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

CPreviewFileDlg::CPreviewFileDlg(bool bOpenFileDialog, const QString& defaultExt,
                                 const QString& fileName, const QStringList& filters,
                                 QWidget* pParent)
    : QDialog(pParent), m_bOpen(bOpenFileDialog), m_strDefaultExt(defaultExt)
{
    // Folder row: where we are, and the way up and home.
    m_pFolderEdit = new QLineEdit(this);
    m_pFolderEdit->setObjectName(QStringLiteral("lookInEdit"));
    auto* lookIn = new QLabel(QStringLiteral("Look &in:"), this);
    lookIn->setBuddy(m_pFolderEdit);
    auto* up = new QToolButton(this);
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(QStringLiteral("Parent Directory"));
    up->setAccessibleName(QStringLiteral("Parent Directory"));
    up->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    auto* home = new QToolButton(this);
    home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    home->setToolTip(QStringLiteral("Home"));
    home->setAccessibleName(QStringLiteral("Home"));

    // The entries, in the order the file list shows them.
    m_pModel = new QStandardItemModel(0, 4, this);
    m_pModel->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"),
                                         QStringLiteral("Type"), QStringLiteral("Date Modified")});
    m_pTree = new QTreeView(this);
    m_pTree->setObjectName(QStringLiteral("treeView"));
    m_pTree->setModel(m_pModel);
    m_pTree->setRootIsDecorated(false);
    m_pTree->setItemsExpandable(false);
    m_pTree->setUniformRowHeights(true);
    m_pTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTree->setSelectionMode(QAbstractItemView::SingleSelection);

    m_pNameEdit = new QLineEdit(this);
    m_pNameEdit->setObjectName(QStringLiteral("fileNameEdit"));
    auto* nameLabel = new QLabel(QStringLiteral("File &name:"), this);
    nameLabel->setBuddy(m_pNameEdit);
    m_pTypes = new QComboBox(this);
    m_pTypes->setObjectName(QStringLiteral("fileTypeCombo"));
    auto* typeLabel = new QLabel(QStringLiteral("Files of type:"), this);
    typeLabel->setBuddy(m_pTypes);
    for (const QString& filter : filters)
    {
        const qsizetype open = filter.lastIndexOf(QStringLiteral(" ("));
        const bool bPatterns = open >= 0 && filter.endsWith(QLatin1Char(')'));
        m_pTypes->addItem(bPatterns ? filter.left(open) : filter);
        const QString patterns =
            bPatterns ? filter.mid(open + 2, filter.size() - open - 3) : QStringLiteral("*");
        m_patterns.append(patterns.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts));
    }
    m_pAccept = new QPushButton(m_bOpen ? QStringLiteral("&Open") : QStringLiteral("&Save"), this);
    m_pAccept->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);

    // Side panel: the picture area above the check box, a line at its left.
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    m_wndPreview = new CPreviewPicture(this);
    m_wndPreview->setFixedSize(134, 138);
    m_pCheck = new QCheckBox(QStringLiteral("&Preview"), this);
    m_pCheck->setChecked(m_bPreview);
    auto* column = new QVBoxLayout;
    column->addSpacing(24);
    column->addWidget(m_wndPreview);
    column->addWidget(m_pCheck);
    column->addStretch();

    auto* grid = new QGridLayout(this);
    grid->addWidget(lookIn, 0, 0);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_pFolderEdit);
    folderRow->addWidget(up);
    folderRow->addWidget(home);
    grid->addLayout(folderRow, 0, 1, 1, 2);
    grid->addWidget(m_pTree, 1, 0, 1, 3);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(m_pNameEdit, 2, 1);
    grid->addWidget(m_pAccept, 2, 2);
    grid->addWidget(typeLabel, 3, 0);
    grid->addWidget(m_pTypes, 3, 1);
    grid->addWidget(cancel, 3, 2);
    grid->addWidget(line, 0, 3, 4, 1);
    grid->addLayout(column, 0, 4, 4, 1);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);

    // Room for whole names, sizes and types in the detail view.
    QSize want = sizeHint().expandedTo(QSize(880, 520));
    if (const QScreen* screen = pParent ? pParent->screen() : QGuiApplication::primaryScreen())
        want = want.boundedTo(screen->availableSize());
    resize(want);
    const int em = m_pTree->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    QHeaderView* header = m_pTree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->resizeSection(1, 8 * em);
    header->resizeSection(2, 10 * em);
    header->resizeSection(3, 15 * em);

    connect(m_pFolderEdit, &QLineEdit::returnPressed, this, &CPreviewFileDlg::OnFolderEdited);
    connect(up, &QToolButton::clicked, this, &CPreviewFileDlg::OnUp);
    connect(home, &QToolButton::clicked, this, [this] { SetFolder(QDir::homePath()); });
    connect(m_pTree->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& index) { OnCurrentRow(index); });
    connect(m_pTree, &QTreeView::doubleClicked, this, &CPreviewFileDlg::accept);
    connect(m_pTypes, &QComboBox::currentIndexChanged, this, [this] { Fill(m_strChosenName); });
    connect(m_pAccept, &QPushButton::clicked, this, &CPreviewFileDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CPreviewFileDlg::reject);
    connect(this, &CPreviewFileDlg::currentChanged, this, &CPreviewFileDlg::OnFileNameChange);
    connect(m_pCheck, &QCheckBox::clicked, this, &CPreviewFileDlg::OnPreviewClicked);

    // Opens where the program is (the folder of the picture opened last).
    if (fileName.startsWith(QLatin1Char('/')))
        SetFolder(ParentOf(fileName), NameOf(fileName));
    else
    {
        SetFolder(CurrentFolder());
        if (!fileName.isEmpty())
            m_pNameEdit->setText(NativePath::ForDisplay(fileName));
    }
    m_pNameEdit->setFocus();
}

void CPreviewFileDlg::SetFolder(const QString& folder, const QString& select)
{
    const QString previous = m_strFolder;
    m_strFolder =
        folder.size() > 1 && folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    if (!Fill(select) && !previous.isEmpty())
    {
        AfxMessageBox(QStringLiteral("%1\nThe folder cannot be read.")
                          .arg(NativePath::ForDisplay(m_strFolder)),
                      MB_OK | MB_ICONWARNING, this);
        m_strFolder = previous;
        return;
    }
    m_pFolderEdit->setText(NativePath::ForDisplay(m_strFolder));
}

bool CPreviewFileDlg::Matches(const QString& name) const
{
    const int type = m_pTypes->currentIndex();
    if (type < 0 || type >= m_patterns.size())
        return true;
    const QString lower = name.toLower();
    for (const QString& pattern : m_patterns[type])
    {
        if (pattern == QLatin1String("*"))
            return true;
        if (pattern.startsWith(QLatin1String("*.")) && !pattern.mid(1).contains(QLatin1Char('*')))
        {
            if (lower.endsWith(pattern.mid(1)))
                return true;
            continue;
        }
        // Other patterns go by the shown name: the regular expression
        // engine takes no lone surrogates.
        const QRegularExpression expression(QRegularExpression::wildcardToRegularExpression(
            pattern, QRegularExpression::UnanchoredWildcardConversion));
        if (expression.match(QStringLiteral("^") + NativePath::ForDisplay(lower)).hasMatch())
            return true;
    }
    return false;
}

bool CPreviewFileDlg::Fill(const QString& select)
{
    std::vector<CDirEntry> entries;
    if (!CDirectoryReader::Read(m_strFolder, CDirectoryReader::VisibleEntries, entries))
        return false;
    m_pModel->removeRows(0, m_pModel->rowCount());
    int selectRow = -1;
    for (const CDirEntry& entry : entries)
    {
        if (!entry.bFolder && !Matches(entry.name))
            continue;
        const CSHFileInfo info(m_strFolder, entry);
        auto* name = new QStandardItem(info.GetIcon(), NativePath::ForDisplay(entry.name));
        name->setData(CFileName::JoinPath(m_strFolder, entry.name), kPathRole);
        name->setData(entry.bFolder, kFolderRole);
        name->setData(entry.name, kNameRole);
        auto* size = new QStandardItem(info.GetFileSize());
        size->setData(int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
        if (entry.name == select)
            selectRow = m_pModel->rowCount();
        m_pModel->appendRow({name, size, new QStandardItem(info.GetDescription()),
                             new QStandardItem(info.GetLastWriteTime())});
    }
    if (selectRow >= 0)
    {
        const QModelIndex index = m_pModel->index(selectRow, 0);
        m_pTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
        m_pTree->scrollTo(index);
    }
    else
    {
        // A name the user typed stays; a selected entry's name goes with it.
        if (!m_strChosenName.isEmpty() &&
            m_pNameEdit->text() == NativePath::ForDisplay(m_strChosenName))
            m_pNameEdit->clear();
        m_strChosenName.clear();
    }
    return true;
}

void CPreviewFileDlg::OnCurrentRow(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const QModelIndex first = index.siblingAtColumn(0);
    m_strChosenName = first.data(kNameRole).toString();
    m_pNameEdit->setText(first.data(Qt::DisplayRole).toString());
    emit currentChanged(first.data(kPathRole).toString());
}

QString CPreviewFileDlg::TypedPath() const
{
    const QString text = m_pNameEdit->text().trimmed();
    if (text.isEmpty())
        return QString();
    // The selected entry's name stands for itself with every byte; the
    // field shows it as it can.
    if (!m_strChosenName.isEmpty() && text == NativePath::ForDisplay(m_strChosenName))
        return CFileName::JoinPath(m_strFolder, m_strChosenName);
    if (text.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(text);
    if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/")))
        return QDir::cleanPath(QDir::homePath() + text.mid(1));
    return QDir::cleanPath(CFileName::JoinPath(m_strFolder, text));
}

void CPreviewFileDlg::accept()
{
    QString path = TypedPath();
    if (path.isEmpty())
        return;
    const CFileName files;
    if (files.IsFolder(path))
    {
        SetFolder(path);
        return;
    }
    if (m_bOpen)
    {
        if (!files.IsFile(path))
        {
            AfxMessageBox(QStringLiteral("%1\nFile not found.\nCheck the file name and try again.")
                              .arg(NativePath::ForDisplay(NameOf(path))),
                          MB_OK | MB_ICONWARNING, this);
            return;
        }
    }
    else
    {
        if (!m_strDefaultExt.isEmpty() && !NameOf(path).contains(QLatin1Char('.')))
            path += QLatin1Char('.') + m_strDefaultExt;
        if (files.Exist(path) &&
            AfxMessageBox(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                              .arg(NativePath::ForDisplay(NameOf(path))),
                          MB_YESNO | MB_ICONWARNING, this) != IDYES)
            return;
    }
    m_strPathName = path;
    QDialog::accept();
}

void CPreviewFileDlg::OnFolderEdited()
{
    const QString text = m_pFolderEdit->text().trimmed();
    if (text == NativePath::ForDisplay(m_strFolder))
    {
        Fill(m_strChosenName);
        return;
    }
    const QString folder = text.startsWith(QLatin1Char('~'))
                               ? QDir::cleanPath(QDir::homePath() + text.mid(1))
                               : QDir::cleanPath(CFileName::JoinPath(m_strFolder, text));
    SetFolder(text.startsWith(QLatin1Char('/')) ? QDir::cleanPath(text) : folder);
}

void CPreviewFileDlg::OnUp()
{
    if (m_strFolder == QLatin1String("/"))
        return;
    // The folder we came from stays selected.
    SetFolder(ParentOf(m_strFolder), NameOf(m_strFolder));
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
