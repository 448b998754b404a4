#include "AppTestSupport.h"
#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Document.h"
#include "ListBar.h"
#include "MessageBox.h"
#include "MainFrame.h"
#include "PLView.h"
#include "Resource.h"
#include "Settings.h"
#include "TreeBar.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>

namespace
{
int ReadInt(const char* section, const char* entry)
{
    return Settings::GetProfileInt(QString::fromLatin1(section), QString::fromLatin1(entry), -1);
}

QString Read(const char* section, const char* entry)
{
    return Settings::GetProfileString(QString::fromLatin1(section), QString::fromLatin1(entry));
}
} // namespace

TEST_F(AppTest, DockingANeverFloatedBarUsesTheDefaultPlace)
{
    StartApp();
    CMainFrame* frame = Frame();
    for (CSizeControlBar* bar : {static_cast<CSizeControlBar*>(frame->GetTreeBar()),
                                 static_cast<CSizeControlBar*>(frame->GetListBar())})
        bar->setFloating(true);
    ProcessEvents();

    m_app->Router().Route(Id::ID_PROJECTBAR_DOCKFLOAT);
    m_app->Router().Route(Id::ID_LISTBAR_DOCKFLOAT);
    ProcessEvents();
    EXPECT_FALSE(frame->GetTreeBar()->isFloating());
    EXPECT_FALSE(frame->GetListBar()->isFloating());
    EXPECT_EQ(frame->dockWidgetArea(frame->GetTreeBar()), Qt::LeftDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->GetListBar()), Qt::BottomDockWidgetArea);
    // The floating place was kept for the next float.
    EXPECT_NE(ReadInt("TreeBar", "float x"), -1);
    EXPECT_NE(ReadInt("ListBar", "float y"), -1);
}

TEST_F(AppTest, FloatingKeepsTheDockedPlaceAndUsesTheStoredFloatingPlace)
{
    StartApp();
    CMainFrame* frame = Frame();
    CTreeBar* bar = frame->GetTreeBar();
    const QPoint docked = bar->mapToGlobal(QPoint(0, 0));
    frame->FloatBar(bar);
    ProcessEvents();
    EXPECT_TRUE(bar->isFloating());
    EXPECT_EQ(bar->pos(), QPoint(100, 100));
    EXPECT_EQ(ReadInt("TreeBar", "dock left"), docked.x());
    EXPECT_EQ(ReadInt("TreeBar", "dock top"), docked.y());
    EXPECT_EQ(ReadInt("TreeBar", "dock side"), frame->ComputeDockSide(docked.x(), docked.y()));

    // Allow Docking works only on a floating bar and toggles its docking style.
    m_app->Router().UpdateAll();
    QAction* allow = m_app->Router().Action(Id::ID_PROJECTBAR_ALLOWDOCKING);
    EXPECT_TRUE(allow->isEnabled());
    EXPECT_TRUE(allow->isChecked());
    allow->trigger();
    m_app->Router().UpdateAll();
    EXPECT_FALSE(allow->isChecked());
    EXPECT_EQ(bar->allowedAreas(), Qt::NoDockWidgetArea);
    frame->DockBar(bar);
    ProcessEvents();
    m_app->Router().UpdateAll();
    EXPECT_FALSE(allow->isEnabled());
}

TEST_F(AppTest, FullScreenTwiceRestoresEverything)
{
    StartApp();
    CMainFrame* frame = Frame();
    // Without an image window nothing happens.
    m_app->Router().Route(Id::ID_VIEW_FULLSCREEN);
    EXPECT_FALSE(frame->IsFullScreen());

    CPLView* view = OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(50, 40), Qt::green));
    ASSERT_NE(view, nullptr);
    frame->statusBar()->hide();
    ProcessEvents();
    const QRect before = frame->geometry();
    QMdiSubWindow* child = view->GetParentFrame();
    ASSERT_FALSE(child->isMaximized());

    m_app->Router().Route(Id::ID_VIEW_FULLSCREEN);
    ProcessEvents();
    EXPECT_TRUE(frame->IsFullScreen());
    EXPECT_TRUE(child->isMaximized());
    EXPECT_FALSE(frame->GetToolBar()->isVisible());
    ASSERT_NE(frame->GetFullScreenToolBar(), nullptr);
    EXPECT_EQ(frame->GetFullScreenToolBar()->actions().size(), 7);
    m_app->Router().UpdateAll();
    EXPECT_TRUE(m_app->Router().Action(Id::ID_VIEW_FULLSCREEN)->isChecked());

    m_app->Router().Route(Id::ID_VIEW_FULLSCREEN);
    ProcessEvents();
    EXPECT_FALSE(frame->IsFullScreen());
    EXPECT_EQ(frame->geometry(), before);
    EXPECT_TRUE(frame->GetToolBar()->isVisible());
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(child->isMaximized());
    EXPECT_EQ(frame->GetFullScreenToolBar(), nullptr);
}

TEST_F(AppTest, SaveOpenWindowsWritesZerosForAProjectWindowInRange)
{
    Settings::WriteProfileString(QStringLiteral("Settings"), QStringLiteral("w3"),
                                 QStringLiteral("old"));
    StartApp();
    OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(30, 30), Qt::red));
    const QString project = QDir(TestDir()).filePath(QStringLiteral("p.vrp"));
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_NE(m_app->GetProjectTemplate()->OpenDocumentFile(project, true), nullptr);
    CPLView* last = OpenView(MakeBmp(QStringLiteral("b.bmp"), QSize(30, 30), Qt::blue));
    ASSERT_NE(last, nullptr);
    ProcessEvents();

    m_app->SaveOpenWindows();
    CWindowPlacement w1;
    ASSERT_TRUE(CWindowPlacement::Parse(Read("Settings", "w1"), w1));
    EXPECT_EQ(w1.NormalRect(), last->GetParentFrame()->geometry());
    EXPECT_EQ(Read("Settings", "w2"), QStringLiteral("0,0,0,0,0,0,0,0,0,0"));
    EXPECT_EQ(Read("Settings", "w3"), QStringLiteral("old"));
}

TEST_F(AppTest, QuittingWithoutImagesLeavesTheOldWindowValues)
{
    Settings::WriteProfileString(QStringLiteral("Settings"), QStringLiteral("w1"),
                                 QStringLiteral("kept"));
    StartApp();
    m_app->Router().Route(Id::ID_APP_EXIT);
    ProcessEvents();
    EXPECT_EQ(Read("Settings", "w1"), QStringLiteral("kept"));
    EXPECT_FALSE(Read("Settings", "WindowPos").isEmpty());
}

TEST_F(AppTest, NewImageWindowTakesTheLastClosedWindowsPlacement)
{
    StartApp();
    const QString a = MakeBmp(QStringLiteral("a.bmp"), QSize(30, 30), Qt::red);
    CPLView* first = OpenView(a);
    ASSERT_NE(first, nullptr);
    QMdiSubWindow* frame1 = first->GetParentFrame();
    frame1->setGeometry(10, 20, 300, 200);
    ProcessEvents();
    frame1->close();
    ProcessEvents();
    CPLView* second = OpenView(a);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetParentFrame()->geometry(), QRect(10, 20, 300, 200));

    // Closed maximised: the next one opens maximised.
    second->GetParentFrame()->showMaximized();
    ProcessEvents();
    second->GetParentFrame()->close();
    ProcessEvents();
    CPLView* third = OpenView(a);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(third->GetParentFrame()->isMaximized());
    third->GetParentFrame()->showNormal();
    ProcessEvents();

    // A minimised active window does not make the next one minimised.
    third->GetParentFrame()->showMinimized();
    ProcessEvents();
    CPLView* fourth = OpenView(MakeBmp(QStringLiteral("b.bmp"), QSize(30, 30), Qt::red));
    ASSERT_NE(fourth, nullptr);
    EXPECT_FALSE(fourth->GetParentFrame()->isMinimized());
    EXPECT_TRUE(fourth->GetParentFrame()->isVisible());
}

TEST_F(AppTest, EscapeHidesEveryImageWindowAndIsSwallowedWithoutOne)
{
    StartApp();
    CMainFrame* frame = Frame();
    struct KeyCounter : QWidget
    {
        using QWidget::QWidget;
        int keys = 0;
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    };
    auto* counter = new KeyCounter(frame);
    counter->setFocusPolicy(Qt::StrongFocus);
    counter->show();
    frame->activateWindow();
    counter->setFocus();
    ProcessEvents();
    ASSERT_EQ(QApplication::focusWidget(), counter);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(counter, &esc);
    EXPECT_EQ(counter->keys, 0);

    OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(30, 30), Qt::red));
    CPLView* view = OpenView(MakeBmp(QStringLiteral("b.bmp"), QSize(30, 30), Qt::red));
    ASSERT_NE(view, nullptr);
    counter->setFocus();
    ProcessEvents();
    QKeyEvent esc2(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(counter, &esc2);
    // With image windows the key goes on to the widget, and every window hides.
    EXPECT_EQ(counter->keys, 1);
    ASSERT_EQ(frame->CountChildFrames(), 2);
    for (QMdiSubWindow* w : frame->MdiArea()->subWindowList())
        EXPECT_FALSE(w->isVisible());
}

TEST_F(AppTest, DeleteTrashesOnlyTheFileOfTheActiveImageWindow)
{
    StartApp();
    const QString a = MakeBmp(QStringLiteral("a.bmp"), QSize(10, 10), Qt::red);
    const QString b = MakeBmp(QStringLiteral("b.bmp"), QSize(10, 10), Qt::red);
    ASSERT_NE(OpenView(a), nullptr);
    EXPECT_FALSE(m_app->DeleteOpenImageFile(b));
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_TRUE(m_messages.isEmpty());

    m_answers = {IDNO};
    EXPECT_FALSE(m_app->DeleteOpenImageFile(a));
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(m_app->DeleteOpenImageFile(a));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(m_messages.size(), 2);
}

TEST_F(AppTest, SyncScrollMovesEveryImageWindowOneLine)
{
    StartApp();
    m_app->Router().UpdateAll();
    EXPECT_FALSE(m_app->Router().Action(Id::ID_SYNC_SCROLL_DOWN)->isEnabled());
    QList<CPLView*> views;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
    {
        views.append(OpenView(MakeBmp(QString::fromLatin1(name), QSize(2000, 1500), Qt::gray)));
        ASSERT_NE(views.last(), nullptr);
        SetClientSize(views.last(), QSize(200, 150));
    }
    m_app->Router().UpdateAll();
    EXPECT_TRUE(m_app->Router().Action(Id::ID_SYNC_SCROLL_DOWN)->isEnabled());
    m_app->Router().Route(Id::ID_SYNC_SCROLL_DOWN);
    m_app->Router().Route(Id::ID_SYNC_SCROLL_RIGHT);
    for (CPLView* view : views)
    {
        EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->singleStep());
        EXPECT_EQ(view->horizontalScrollBar()->value(),
                  view->horizontalScrollBar()->singleStep());
        EXPECT_GT(view->verticalScrollBar()->value(), 0);
    }
}

TEST_F(AppTest, FrameRefusesToShrinkBelowTwoFifths)
{
    StartApp();
    Frame()->resize(10, 10);
    ProcessEvents();
    const QSize largest = QGuiApplication::primaryScreen()->availableVirtualSize();
    EXPECT_GE(Frame()->width(), largest.width() * 2 / 5);
    EXPECT_GE(Frame()->height(), largest.height() * 2 / 5);
}
