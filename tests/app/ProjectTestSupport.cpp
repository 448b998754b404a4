#include "ProjectTestSupport.h"

#include "MainFrame.h"
#include "ProjectDoc.h"
#include "ProjectTreeCtrl.h"
#include "TreeBar.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

void ProjectTest::SetUp()
{
    AppTest::SetUp();
    QDir(CProjectDoc::ProjectsDirectory()).removeRecursively();
    // The trash lives in the data folder, which must exist.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir(data + QStringLiteral("/Trash")).removeRecursively();
    QDir().mkpath(data);
}

QString ProjectTest::MakeProject(const QString& name, const QByteArray& text,
                                 const QStringList& entries) const
{
    const QDir dir(QDir(CProjectDoc::ProjectsDirectory()).filePath(name));
    QDir().mkpath(dir.path());
    const QString file = dir.filePath(name + QStringLiteral(".vrp"));
    WriteFile(file, text);
    for (const QString& entry : entries)
    {
        if (entry.endsWith(QLatin1Char('/')))
            QDir().mkpath(dir.filePath(entry));
        else
            WriteFile(dir.filePath(entry), entry.toUtf8());
    }
    return file;
}

void ProjectTest::WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray ProjectTest::ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void ProjectTest::OpenProject(const QString& path)
{
    m_app->OpenProjectFile(path);
    ProcessEvents();
}

CProjectTreeCtrl* ProjectTest::Tree() const
{
    return Frame()->GetTreeBar()->GetProjectTree();
}

QStringList ProjectTest::ChildTexts(const QTreeWidgetItem* pItem)
{
    QStringList texts;
    for (int i = 0; pItem && i < pItem->childCount(); ++i)
        texts.append(pItem->child(i)->text(0));
    return texts;
}

QTreeWidgetItem* ProjectTest::ChildNamed(const QTreeWidgetItem* pItem, const QString& text) const
{
    for (int i = 0; pItem && i < pItem->childCount(); ++i)
        if (pItem->child(i)->text(0) == text)
            return pItem->child(i);
    return nullptr;
}

QStringList ProjectTest::DiskEntries(const QString& dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        entries.append(QDir(dir).relativeFilePath(path) +
                       (it.fileInfo().isDir() ? QStringLiteral("/") : QString()));
    }
    entries.sort();
    return entries;
}

QStringList ProjectTest::TreeEntries() const
{
    QStringList entries;
    std::function<void(QTreeWidgetItem*, const QString&)> walk =
        [&](QTreeWidgetItem* pFolder, const QString& prefix)
    {
        pFolder->setExpanded(true);
        for (int i = 0; i < pFolder->childCount(); ++i)
        {
            QTreeWidgetItem* pChild = pFolder->child(i);
            const bool bFolder =
                CProjectTreeCtrl::ImageOf(pChild) == CProjectTreeCtrl::kFolderImage;
            entries.append(prefix + pChild->text(0) + (bFolder ? QStringLiteral("/") : QString()));
            if (bFolder)
                walk(pChild, prefix + pChild->text(0) + QLatin1Char('/'));
        }
    };
    if (QTreeWidgetItem* pRoot = Tree()->GetRootItem(); pRoot && Tree()->HasProject())
        walk(pRoot, QString());
    entries.sort();
    return entries;
}

void ProjectTest::Select(QTreeWidgetItem* pItem)
{
    Tree()->setCurrentItem(pItem);
    Tree()->m_hCurItem = pItem;
    ProcessEvents();
}

void ProjectTest::OnModal(std::function<void(QWidget*)> fn)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, fn]
                     {
                         if (QWidget* modal = QApplication::activeModalWidget())
                         {
                             timer->stop();
                             timer->deleteLater();
                             fn(modal);
                         }
                     });
    timer->start();
}

void ProjectTest::EndLabelEdit(const QString& text, bool bCommit)
{
    auto* edit = Tree()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr) << "no label edit box";
    edit->setText(text);
    QKeyEvent press(QEvent::KeyPress, bCommit ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    ProcessEvents();
}
