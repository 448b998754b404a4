#include "ProjectTestSupport.h"

#include "DocTemplate.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "ProjectDoc.h"
#include "ProjectTreeCtrl.h"
#include "ProjectView.h"
#include "Resource.h"
#include "ScopedFileSizeLimit.h"
#include "Settings.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMdiSubWindow>

#include <optional>

namespace
{
QString Read(const char* section, const char* entry)
{
    return Settings::GetProfileString(QString::fromLatin1(section), QString::fromLatin1(entry));
}

// Answers the file dialog of Open Project or Project Save As with a path.
void ChooseFile(QWidget* modal, const QString& path)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    // Typed, as the selection waits for the folder to be read.
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    QMetaObject::invokeMethod(dialog, "accept");
}
} // namespace

// The file holds the view's text byte for byte, whatever it is.
TEST_F(ProjectTest, ProjectFileTextRoundTripsByteForByte)
{
    struct Case
    {
        const char* name;
        QByteArray file;
        QByteArray held; // the text the view holds and a save writes
    };
    const Case cases[] = {
        {"empty", QByteArray(), QByteArray()},
        {"new", QByteArray("Trip\r\n"), QByteArray("Trip\r\n")},
        {"no final line end", QByteArray("Trip\r\nnotes"), QByteArray("Trip\r\nnotes")},
        {"lone line feeds", QByteArray("a\nb\n"), QByteArray("a\nb\n")},
        {"zero byte ends the text", QByteArray("before\0after", 12), QByteArray("before")},
        {"not UTF-8", QByteArray("\xff\xfe\x80", 3), QByteArray("\xff\xfe\x80", 3)},
    };
    StartApp();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const QString path = MakeProject(QStringLiteral("Trip"), c.file);
        OpenProject(path);
        CProjectDoc* pDoc = CProjectDoc::GetOpenProject();
        ASSERT_NE(pDoc, nullptr);
        EXPECT_EQ(pDoc->GetView()->GetProjectText(), c.held);
        EXPECT_FALSE(pDoc->IsModified());
        ASSERT_TRUE(pDoc->OnSaveDocument(path));
        EXPECT_EQ(ReadFile(path), c.held);
        // The tree is rooted at the file's folder, whatever the file holds.
        EXPECT_EQ(Tree()->GetRootItem()->text(0), QStringLiteral("Trip"));
        EXPECT_EQ(Tree()->GetProjectDir(), QFileInfo(path).absolutePath());
    }
}

TEST_F(ProjectTest, ViewIsHiddenFixedWidthAndAnEditMarksTheProjectModified)
{
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n"));
    CProjectDoc* pDoc = CProjectDoc::GetOpenProject();
    ASSERT_NE(pDoc, nullptr);
    CProjectView* pView = pDoc->GetView();
    EXPECT_FALSE(pView->isVisible());
    EXPECT_TRUE(QFontInfo(pView->font()).fixedPitch());
    EXPECT_EQ(pView->font().pointSizeF(), 10.0);
    EXPECT_EQ(pView->viewport()->geometry().left() - pView->contentsRect().left(), 18);

    QAction* save = m_app->Router().Action(Id::ID_PROJECT_SAVE);
    m_app->Router().UpdateAll();
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(m_app->Router().Action(Id::ID_PROJECT_SAVE_AS)->isEnabled());
    EXPECT_TRUE(m_app->Router().Action(Id::ID_PROJECT_CLOSE)->isEnabled());

    pView->appendPlainText(QStringLiteral("more"));
    EXPECT_TRUE(pDoc->IsModified());
    m_app->Router().UpdateAll();
    ASSERT_TRUE(save->isEnabled());
    save->trigger();
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("Project save complete.")});
    // After an edit the line ends are CR LF.
    EXPECT_EQ(ReadFile(pDoc->GetPathName()), QByteArray("Trip\r\n\r\nmore"));
    EXPECT_FALSE(pDoc->IsModified());
}

TEST_F(ProjectTest, FailedSaveSaysSoAndKeepsTheProjectModified)
{
    StartApp();
    const QString path = MakeProject(QStringLiteral("Trip"), "Trip\r\n");
    OpenProject(path);
    CProjectDoc* pDoc = CProjectDoc::GetOpenProject();
    pDoc->GetView()->appendPlainText(QStringLiteral("x"));
    // The folder goes away under the open project.
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    m_app->Router().Route(Id::ID_PROJECT_SAVE);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("Cannot save the file")))
        << m_messages[0].toStdString();
    EXPECT_TRUE(pDoc->IsModified());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(ProjectTest, RecentProjectListPutsTheLastOpenedFirstOnce)
{
    StartApp();
    const QString a = MakeProject(QStringLiteral("A"), "A\r\n");
    const QString b = MakeProject(QStringLiteral("B"), "B\r\n");
    const QString trip = MakeProject(QStringLiteral("Trip"), "Trip\r\n");
    for (const QString& path : {a, b, trip, trip})
        OpenProject(path);
    EXPECT_EQ(Read("Recent Project List", "Project1"), trip);
    EXPECT_EQ(Read("Recent Project List", "Project2"), b);
    EXPECT_EQ(Read("Recent Project List", "Project3"), a);
    EXPECT_EQ(Read("Recent Project List", "Project4"), QString());
    // A project is no image: the recent-file list does not offer it.
    EXPECT_EQ(Read("Recent File List", "File1"), QString());
}

TEST_F(ProjectTest, MissingProjectFileReportsAndLeavesTheTreeAsItWas)
{
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n"));
    OpenProject(QDir(CProjectDoc::ProjectsDirectory()).filePath(QStringLiteral("Gone/Gone.vrp")));
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_EQ(CProjectDoc::GetOpenProject(), nullptr);
    EXPECT_EQ(Tree()->GetRootItem()->text(0), QStringLiteral("Trip"));
}

TEST_F(ProjectTest, CloseProjectAsksForAModifiedOneClosesAnywayAndRecordsNo)
{
    Settings::WriteProfileString(QStringLiteral("Startup"), QStringLiteral("ProjectOnExit"),
                                 QStringLiteral("yes"));
    StartApp();
    m_messages.clear(); // no project to reopen yet
    const QString path = MakeProject(QStringLiteral("Trip"), "Trip\r\n");
    OpenProject(path);
    CProjectDoc::GetOpenProject()->GetView()->appendPlainText(QStringLiteral("x"));
    m_answers = {IDCANCEL};
    m_app->Router().Route(Id::ID_PROJECT_CLOSE);
    ProcessEvents();
    EXPECT_EQ(m_messages.size(), 1) << m_messages.join("|").toStdString(); // the save prompt
    EXPECT_EQ(CProjectDoc::GetOpenProject(), nullptr);
    EXPECT_EQ(ReadFile(path), QByteArray("Trip\r\n"));
    EXPECT_EQ(Read("Startup", "ProjectOnExit"), QStringLiteral("no"));
    EXPECT_EQ(ChildTexts(Tree()->invisibleRootItem()),
              QStringList{QStringLiteral("No Open Project")});
    EXPECT_TRUE(Tree()->GetRootItem()->font(0).bold());
    EXPECT_EQ(m_app->m_strProjectPath, path);
}

TEST_F(ProjectTest, OpenProjectCommandOpensTheChosenFileFromTheProjectsFolder)
{
    StartApp();
    const QString path = MakeProject(QStringLiteral("Trip"), "Trip\r\n");
    QString shownDir;
    OnModal(
        [&](QWidget* modal)
        {
            shownDir = qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
            ChooseFile(modal, path);
        });
    m_app->Router().Route(Id::ID_PROJECT_OPEN_ACCEL);
    ProcessEvents();
    EXPECT_EQ(shownDir, CProjectDoc::ProjectsDirectory());
    ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
    EXPECT_EQ(m_app->m_strProjectPath, path);
    EXPECT_TRUE(CProjectDoc::ProjectsDirectory().endsWith(QStringLiteral("/Vistrel Projects")));
}

TEST_F(ProjectTest, ProjectReopensAtStartWhenItWasOpenAtQuit)
{
    const QString path = MakeProject(QStringLiteral("Trip"), "Trip\r\n", {QStringLiteral("a.jpg")});
    StartApp();
    OpenProject(path);
    Quit();
    m_app.reset();
    EXPECT_EQ(Read("Startup", "ProjectOnExit"), QStringLiteral("yes"));
    StartApp();
    ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
    EXPECT_EQ(Tree()->GetRootItem()->text(0), QStringLiteral("Trip"));
    // Opening reads no more than the project's root level.
    EXPECT_FALSE(Tree()->GetRootItem()->isExpanded());
    EXPECT_EQ(ChildTexts(Tree()->GetRootItem()), QStringList{QString()});
}

TEST_F(ProjectTest, SaveAsCopiesTheProjectUnderTheNewNameAndRefusesAnExistingFolder)
{
    StartApp();
    const QString trip = MakeProject(QStringLiteral("Trip"), "Trip\r\nno final line end",
                                     {QStringLiteral("Day1/a.jpg")});
    OpenProject(trip);
    const QString projects = CProjectDoc::ProjectsDirectory();
    OnModal([&](QWidget* modal) { ChooseFile(modal, projects + QStringLiteral("/Copy.vrp")); });
    m_app->Router().Route(Id::ID_PROJECT_SAVE_AS);
    ProcessEvents();

    const QString copy = projects + QStringLiteral("/Copy/Copy.vrp");
    EXPECT_EQ(ReadFile(copy), QByteArray("Trip\r\nno final line end"));
    EXPECT_EQ(ReadFile(projects + QStringLiteral("/Copy/Day1/a.jpg")), QByteArray("Day1/a.jpg"));
    EXPECT_FALSE(QFileInfo::exists(projects + QStringLiteral("/Copy/Trip.vrp")));
    EXPECT_EQ(ReadFile(trip), QByteArray("Trip\r\nno final line end"));
    ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
    EXPECT_EQ(m_app->m_strProjectPath, copy);
    EXPECT_EQ(Tree()->GetRootItem()->text(0), QStringLiteral("Copy"));
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("|").toStdString();

    // Once more onto the folder that now exists.
    OnModal([&](QWidget* modal) { ChooseFile(modal, projects + QStringLiteral("/Trip.vrp")); });
    m_app->Router().Route(Id::ID_PROJECT_SAVE_AS);
    ProcessEvents();
    EXPECT_EQ(m_messages.last(), QStringLiteral("OOOPs"));
    EXPECT_EQ(CProjectDoc::GetOpenProject(), nullptr);
}

// A Save As that stops leaves no copy behind and a tree that tells the truth:
// after a failed or cancelled copy (a full disk: files may not grow past
// 64 KiB here) the project that was open is open again; after a cancelled
// dialog or a folder that cannot be made, no project is open and the tree
// says so. Each says what happened.
TEST_F(ProjectTest, SaveAsThatStopsLeavesNoCopyAndATreeThatTellsTheTruth)
{
    struct Case
    {
        const char* name;
        QString chosen; // relative to the projects folder; empty cancels the dialog
        bool bFullDisk;
        QList<int> answers;  // to the question about the file that does not fit
        const char* message; // the last message begins so; null for none
        bool bReopened;      // Trip is open again, else no project is
    };
    const Case cases[] = {
        {"full disk, the file skipped",
         "Copy.vrp",
         true,
         {IDIGNORE},
         "Project Save As failed: the project was not saved as \"Copy\", and \"Trip\" is open "
         "again.",
         true},
        {"full disk, cancelled at the question",
         "Copy.vrp",
         true,
         {IDCANCEL},
         "Project Save As canceled: the project was not saved as \"Copy\", and \"Trip\" is open "
         "again.",
         true},
        {"the folder exists", "Taken.vrp", false, {}, "OOOPs", false},
        {"no parent folder",
         "Missing/Copy.vrp",
         false,
         {},
         "Cannot create the project folder",
         false},
        {"dialog cancelled", "", false, {}, nullptr, false},
    };
    StartApp();
    const QString projects = CProjectDoc::ProjectsDirectory();
    const QByteArray big(256 * 1024, 'b');
    const QString trip = MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                                     {QStringLiteral("Day1/a.jpg"), QStringLiteral("Z/")});
    WriteFile(projects + QStringLiteral("/Trip/big.jpg"), big);
    WriteFile(projects + QStringLiteral("/Taken/keep.txt"), "keep");
    const QStringList tripBefore = DiskEntries(projects + QStringLiteral("/Trip"));
    const QStringList projectsBefore = DiskEntries(projects);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        OpenProject(trip);
        m_messages.clear();
        m_answers = c.answers;
        OnModal(
            [&](QWidget* modal)
            {
                if (c.chosen.isEmpty())
                    qobject_cast<QFileDialog*>(modal)->reject();
                else
                    ChooseFile(modal, projects + QLatin1Char('/') + c.chosen);
            });
        {
            std::optional<ScopedFileSizeLimit> limit;
            if (c.bFullDisk)
                limit.emplace(64 * 1024);
            m_app->Router().Route(Id::ID_PROJECT_SAVE_AS);
            ProcessEvents();
        }
        if (c.message)
        {
            ASSERT_FALSE(m_messages.isEmpty());
            EXPECT_TRUE(m_messages.last().startsWith(QString::fromLatin1(c.message)))
                << qPrintable(m_messages.join('|'));
        }
        else
        {
            EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
        }
        EXPECT_TRUE(!c.bFullDisk || m_messages.first().contains(QStringLiteral("File too large")))
            << qPrintable(m_messages.first());

        // On disk: the project as it was, no copy, nothing else touched.
        EXPECT_EQ(DiskEntries(projects), projectsBefore);
        EXPECT_EQ(DiskEntries(projects + QStringLiteral("/Trip")), tripBefore);
        EXPECT_EQ(ReadFile(trip), QByteArray("Trip\r\n"));
        EXPECT_EQ(ReadFile(projects + QStringLiteral("/Trip/big.jpg")), big);
        // The tree shows a project exactly when one is open.
        EXPECT_EQ(CProjectDoc::GetOpenProject() != nullptr, c.bReopened);
        EXPECT_EQ(Tree()->HasProject(), c.bReopened);
        if (c.bReopened)
        {
            EXPECT_EQ(CProjectDoc::GetOpenProject()->GetPathName(), trip);
            EXPECT_EQ(m_app->m_strProjectPath, trip);
            EXPECT_EQ(Tree()->GetRootItem()->text(0), QStringLiteral("Trip"));
            QStringList shown = tripBefore;
            shown.removeAll(QStringLiteral("Trip.vrp"));
            EXPECT_EQ(TreeEntries(), shown);
        }
        else
        {
            EXPECT_EQ(ChildTexts(Tree()->invisibleRootItem()),
                      QStringList{QStringLiteral("No Open Project")});
        }
    }
}
