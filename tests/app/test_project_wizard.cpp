#include "ProjectTestSupport.h"

#include "DirectoryDialog.h"
#include "DocTemplate.h"
#include "MessageBox.h"
#include "ProjectDoc.h"
#include "ProjectTreeCtrl.h"
#include "Resource.h"
#include "ScopedFileSizeLimit.h"
#include "ShellTree.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QWizard>

#include <optional>

namespace
{
struct WizardRun
{
    QString name;
    QString dir;      // typed into the directory box; null keeps the default
    bool bFinish;     // Finish on page 2, else Cancel there
    QString fileName; // page 2's texts
    QString filePath;
};

// Fills page 1, goes on to page 2 and ends the wizard; a refused page 1
// cancels it.
void Drive(QWidget* modal, WizardRun& run)
{
    auto* wizard = qobject_cast<QWizard*>(modal);
    ASSERT_NE(wizard, nullptr);
    wizard->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(run.name);
    if (!run.dir.isNull())
        wizard->findChild<QLineEdit*>(QStringLiteral("dirEdit"))->setText(run.dir);
    wizard->next();
    if (wizard->currentId() != 1)
    {
        wizard->reject();
        return;
    }
    run.fileName = wizard->currentPage()->findChild<QLabel*>(QStringLiteral("fileName"))->text();
    run.filePath = wizard->currentPage()->findChild<QLabel*>(QStringLiteral("filePath"))->text();
    if (run.bFinish)
        wizard->button(QWizard::FinishButton)->click();
    else
        wizard->reject();
}
} // namespace

TEST_F(ProjectTest, WizardCreatesTheProjectFolderAndItsSixByteFile)
{
    StartApp();
    const QString projects = CProjectDoc::ProjectsDirectory();
    WizardRun run{QStringLiteral("Trip"), QString(), true, {}, {}};
    OnModal([&run](QWidget* modal) { Drive(modal, run); });
    m_app->Router().Route(Id::ID_FILE_NEW);
    ProcessEvents();

    EXPECT_EQ(run.fileName, QStringLiteral("Trip.vrp"));
    EXPECT_EQ(run.filePath, projects + QStringLiteral("/Trip/Trip.vrp"));
    const QString file = projects + QStringLiteral("/Trip/Trip.vrp");
    EXPECT_EQ(ReadFile(file), QByteArray("Trip\r\n"));
    EXPECT_EQ(m_messages,
              QStringList{QStringLiteral("Trip project directory successfully created.")});
    ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
    EXPECT_EQ(m_app->m_strProjectPath, file);
    EXPECT_EQ(m_app->GetProjectTemplate()->GetDocuments().size(), 1);
    QTreeWidgetItem* root = Tree()->GetRootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), QStringLiteral("Trip"));
    EXPECT_TRUE(root->font(0).bold());
    // Save Project stays disabled for a new project.
    m_app->Router().UpdateAll();
    EXPECT_FALSE(m_app->Router().Action(Id::ID_PROJECT_SAVE)->isEnabled());
}

TEST_F(ProjectTest, WizardRefusesBadNamesAndCancelLeavesEverythingAsItWas)
{
    StartApp();
    const QString projects = CProjectDoc::ProjectsDirectory();
    OpenProject(MakeProject(QStringLiteral("Old"), "Old\r\n"));
    struct Case
    {
        QString name;
        const char* message; // null: page 1 accepts the name
    };
    const Case cases[] = {
        {QString(), "This project needs a name!"},
        {QStringLiteral("a/b"), "A project name cannot contain \"/\" or be \".\" or \"..\"."},
        {QStringLiteral(".."), "A project name cannot contain \"/\" or be \".\" or \"..\"."},
        {QString(254, QLatin1Char('n')), "A project name can be at most 253 bytes long."},
        {QStringLiteral("Later"), nullptr}, // cancelled on page 2
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name.toStdString());
        m_messages.clear();
        WizardRun run{c.name, QString(), false, {}, {}};
        OnModal([&run](QWidget* modal) { Drive(modal, run); });
        m_app->Router().Route(Id::ID_FILE_NEW);
        ProcessEvents();
        EXPECT_EQ(m_messages,
                  c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList());
        EXPECT_EQ(QDir(projects).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("Old")});
        // The open project and its tree stay.
        ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
        EXPECT_EQ(Tree()->GetRootItem()->text(0), QStringLiteral("Old"));
    }
}

TEST_F(ProjectTest, WizardMakesMissingLevelsAndOpensAnExistingFileUnchanged)
{
    StartApp();
    const QString projects = CProjectDoc::ProjectsDirectory();
    struct Case
    {
        QString dir;
        QString expectedFile;
        QByteArray before; // an existing project file, or null
    };
    const Case cases[] = {
        {QStringLiteral("deep/er/"), projects + QStringLiteral("/deep/er/Trip/Trip.vrp"), {}},
        {TestDir() + QStringLiteral("/elsewhere"),
         TestDir() + QStringLiteral("/elsewhere/Trip/Trip.vrp"),
         {}},
        {QString(""), projects + QStringLiteral("/Trip/Trip.vrp"), QByteArray("kept text")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.dir.toStdString());
        if (!c.before.isNull())
            WriteFile(c.expectedFile, c.before);
        WizardRun run{QStringLiteral("Trip"), c.dir, true, {}, {}};
        OnModal([&run](QWidget* modal) { Drive(modal, run); });
        m_app->Router().Route(Id::ID_FILE_NEW);
        ProcessEvents();
        EXPECT_EQ(ReadFile(c.expectedFile), c.before.isNull() ? QByteArray("Trip\r\n") : c.before);
        EXPECT_EQ(m_app->m_strProjectPath, c.expectedFile);
    }
}

TEST_F(ProjectTest, DirectoryChooserOpensAtTheFolderAndReturnsTheSelection)
{
    StartApp();
    const QString target = TestDir() + QStringLiteral("/one/two");
    QDir().mkpath(target);
    CDirectoryDialog dialog;
    dialog.m_strInitialDir = target;
    QString shown;
    OnModal(
        [&](QWidget* modal)
        {
            auto* tree = modal->findChild<CShellTree*>();
            QString selected;
            ASSERT_TRUE(tree->OnFolderSelected(selected));
            shown = selected;
            // Another folder chosen with the box and "->".
            modal->findChild<QComboBox*>()->setEditText(TestDir() + QStringLiteral("/one"));
            modal->findChild<QAbstractButton*>(QStringLiteral("goButton"))->click();
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(shown, target);
    EXPECT_EQ(dialog.m_strPath, TestDir() + QStringLiteral("/one"));
}

// The chosen folder is copied into the new project; a copy that fails on a
// full disk (files may not grow past 64 KiB here) says what happened, and the
// project, the source and the tree are what is on disk.
TEST_F(ProjectTest, WizardCopiesTheChosenFolderOrSaysWhatHappened)
{
    struct Case
    {
        const char* name;
        bool bFullDisk;
        QList<int> answers; // to the question about the file that does not fit
        QStringList copied; // what the project holds afterwards
        const char* last;   // the last message
    };
    const Case cases[] = {
        {"copied",
         false,
         {},
         {"Holiday/", "Holiday/a.jpg", "Holiday/big.jpg"},
         "Trip project directory successfully created."},
        {"full disk, the file skipped",
         true,
         {IDIGNORE},
         {"Holiday/", "Holiday/a.jpg"},
         "Trip project directory created, but the chosen files were not all copied into it."},
        {"full disk, cancelled at the question",
         true,
         {IDCANCEL},
         {"Holiday/", "Holiday/a.jpg"},
         "Trip project directory copy canceled!"},
    };
    StartApp();
    const QString source = TestDir() + QStringLiteral("/Holiday");
    const QByteArray big(256 * 1024, 'b');
    WriteFile(source + QStringLiteral("/a.jpg"), "a");
    WriteFile(source + QStringLiteral("/big.jpg"), big);
    const QString dir = CProjectDoc::ProjectsDirectory() + QStringLiteral("/Trip");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_app->GetProjectTemplate()->CloseAllDocuments(false);
        QDir(dir).removeRecursively();
        m_messages.clear();
        m_answers = c.answers;
        OnModal(
            [&source](QWidget* modal)
            {
                auto* wizard = qobject_cast<QWizard*>(modal);
                wizard->findChild<QLineEdit*>(QStringLiteral("nameEdit"))
                    ->setText(QStringLiteral("Trip"));
                wizard->next();
                wizard->findChild<QLineEdit*>(QStringLiteral("sourceEdit"))->setText(source);
                wizard->button(QWizard::FinishButton)->click();
            });
        {
            std::optional<ScopedFileSizeLimit> limit;
            if (c.bFullDisk)
                limit.emplace(64 * 1024);
            m_app->Router().Route(Id::ID_FILE_NEW);
            ProcessEvents();
        }
        ASSERT_FALSE(m_messages.isEmpty());
        EXPECT_EQ(m_messages.last(), QString::fromLatin1(c.last))
            << qPrintable(m_messages.join('|'));
        EXPECT_TRUE(c.bFullDisk || m_messages.size() == 1) << qPrintable(m_messages.join('|'));
        EXPECT_TRUE(!c.bFullDisk || m_messages.first().contains(QStringLiteral("File too large")))
            << qPrintable(m_messages.first());
        // The project stays made and open; nothing half-written is left.
        ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
        EXPECT_EQ(ReadFile(dir + QStringLiteral("/Trip.vrp")), QByteArray("Trip\r\n"));
        QStringList onDisk = c.copied;
        onDisk.append(QStringLiteral("Trip.vrp"));
        onDisk.sort();
        EXPECT_EQ(DiskEntries(dir), onDisk);
        EXPECT_EQ(TreeEntries(), c.copied);
        EXPECT_EQ(ReadFile(source + QStringLiteral("/big.jpg")), big);
        EXPECT_EQ(ReadFile(source + QStringLiteral("/a.jpg")), QByteArray("a"));
    }
}
