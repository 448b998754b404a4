// A termination request (SIGTERM, SIGINT) with a menu, a dialog or a
// message box open ends the program as its Exit does: the box closes as
// declined, the code that opened it returns, the main window closes and the
// settings of a quit are written.
#include "AppTestSupport.h"
#include "AfxIds.h"
#include "FolderTreeCtrl.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "Termination.h"
#include "TreeBar.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QTimer>

#include <csignal>

namespace
{
struct OpenKind
{
    const char* name;
    std::function<void(CVistrelApp&, CMainFrame*)> open; // returns once the box has closed
};
} // namespace

class TerminationTest : public AppTest
{
protected:
    void TearDown() override
    {
        AppTest::TearDown();
        Termination::Reset();
    }
};

TEST_F(TerminationTest, EndsTheProgramWhateverIsOpen)
{
    const OpenKind kinds[] = {
        {"message box", [](CVistrelApp&, CMainFrame*) { AfxMessageBox(QStringLiteral("Opening x failed")); }},
        {"question", [](CVistrelApp&, CMainFrame*)
         { EXPECT_EQ(AfxMessageBox(QStringLiteral("Replace?"), MB_YESNOCANCEL), IDNO); }},
        {"preferences", [](CVistrelApp& a, CMainFrame*) { a.Router().Route(Id::ID_PREFERENCES); }},
        {"about box", [](CVistrelApp& a, CMainFrame*) { a.Router().Route(AfxId::ID_APP_ABOUT); }},
        {"open dialog", [](CVistrelApp& a, CMainFrame*) { a.Router().Route(AfxId::ID_FILE_OPEN); }},
        {"folder menu", [](CVistrelApp&, CMainFrame* f)
         {
             CFolderTreeCtrl* tree = f->GetTreeBar()->GetFolderTree();
             QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                    tree->mapToGlobal(QPoint(4, 4)));
             QApplication::sendEvent(tree, &menu);
         }},
    };
    Termination::InstallSignalHandlers();
    for (const OpenKind& kind : kinds)
        for (const int signal : {SIGTERM, SIGINT})
        {
            SCOPED_TRACE(std::string(kind.name) + (signal == SIGTERM ? " SIGTERM" : " SIGINT"));
            QFile::remove(Settings::FileName());
            Termination::Reset();
            StartApp();
            // Real boxes, not the test's answers.
            MessageBoxHook::Install(nullptr);
            bool bReturned = false;
            QTimer::singleShot(0, [&] {
                kind.open(*m_app, Frame());
                bReturned = true;
            });
            // The box runs its own loop: the signal comes from inside it.
            QTimer poll;
            bool bRaised = false;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (!bRaised && (QApplication::activeModalWidget() || QApplication::activePopupWidget()))
                {
                    bRaised = true;
                    ::raise(signal);
                }
            });
            poll.start(20);
            ASSERT_TRUE(ProcessUntil([&] { return bReturned && Frame()->IsClosed(); }));
            EXPECT_TRUE(bRaised);
            EXPECT_TRUE(Settings::HasProfileValue("Settings", "WindowPos"));
            EXPECT_TRUE(Settings::HasProfileValue("Barstate", "State"));
            EXPECT_EQ(Settings::GetProfileString("Startup", "ProjectOnExit"), "no");
            // Nothing the user did not confirm was stored.
            EXPECT_FALSE(Settings::HasProfileValue("Settings", "slideshowspeed"));
            m_app.reset();
            ProcessEvents();
        }
}

TEST_F(TerminationTest, DuringStartUpTheBarLayoutIsKept)
{
    // A request met while a start-up box was up: start-up stops and the
    // stored bar layout, not yet applied, is not overwritten.
    Settings::WriteProfileBinary("Barstate", "State", QByteArray("stored layout"));
    Termination::Request();
    m_app = std::make_unique<CVistrelApp>();
    m_app->m_arguments = {QStringLiteral("vistrel"), QStringLiteral("-nologo"), TestDir() + "/nosuch.jpg"};
    EXPECT_FALSE(m_app->InitInstance());
    EXPECT_TRUE(Frame()->IsClosed());
    EXPECT_TRUE(Settings::HasProfileValue("Settings", "WindowPos"));
    EXPECT_EQ(Settings::GetProfileBinary("Barstate", "State"), QByteArray("stored layout"));
}
