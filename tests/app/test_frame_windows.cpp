#include "AppTestSupport.h"
#include "ChildFrame.h"
#include "Commands.h"
#include "DocTemplate.h"
#include "Document.h"
#include "ListBar.h"
#include "MDIWindowList.h"
#include "MainFrame.h"
#include "Menus.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "Resource.h"
#include "Settings.h"
#include "TreeBar.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
QMenu* TopMenu(CMainFrame* frame, const char* title)
{
    for (QAction* action : frame->menuBar()->actions())
        if (action->menu() && action->text() == QLatin1String(title))
            return action->menu();
    return nullptr;
}

// The entries the Window menu lists after it was opened.
QStringList WindowEntries(CMainFrame* frame, QString* pChecked = nullptr)
{
    QMenu* menu = TopMenu(frame, "&Window");
    if (!menu)
        return {};
    emit menu->aboutToShow();
    QStringList names;
    for (QAction* action : menu->actions())
        if (action->text().size() > 1 && action->text()[0] == QLatin1Char('&') &&
            action->text()[1].isDigit())
        {
            names.append(action->text());
            if (pChecked && action->isChecked())
                *pChecked = action->text();
        }
    return names;
}

QAction* WindowEntry(CMainFrame* frame, const QString& text)
{
    for (QAction* action : TopMenu(frame, "&Window")->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
}
} // namespace

TEST_F(AppTest, EscapeInADialogReachesTheDialogAndLeavesTheImageWindows)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(30, 30), Qt::red));
    ASSERT_NE(view, nullptr);
    QDialog dialog(Frame());
    auto* edit = new QListWidget(&dialog);
    edit->addItem(QStringLiteral("one"));
    (new QVBoxLayout(&dialog))->addWidget(edit);
    QTimer::singleShot(0, &dialog,
                       [&]
                       {
                           edit->setFocus();
                           ProcessEvents();
                           PressKey(edit, Qt::Key_Escape, Qt::NoModifier);
                           // A dialog that ignored the key would still be open: end the test.
                           QTimer::singleShot(200, &dialog, [&] { dialog.done(42); });
                       });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    ProcessEvents();
    EXPECT_TRUE(view->GetParentFrame()->isVisible());
}

TEST_F(AppTest, WindowMenuListsEveryImageWindowAndBringsBackAHiddenOne)
{
    StartApp();
    for (const char* name : {"a.bmp", "b&w.bmp", "c.bmp"})
        ASSERT_NE(OpenView(MakeBmp(QString::fromLatin1(name), QSize(30, 30), Qt::red)), nullptr);
    QString checked;
    EXPECT_EQ(WindowEntries(Frame(), &checked),
              QStringList({"&1 a.bmp", "&2 b&&w.bmp", "&3 c.bmp"}));
    EXPECT_EQ(checked, QStringLiteral("&3 c.bmp"));

    // Escape hides them all; the menu still lists them and brings one back.
    PressKey(Frame()->MDIGetActive()->GetActiveView()->GetWidget(), Qt::Key_Escape, Qt::NoModifier);
    ProcessEvents();
    ASSERT_EQ(Frame()->MdiArea()->subWindowList().size(), 3);
    for (QMdiSubWindow* w : Frame()->MdiArea()->subWindowList())
        ASSERT_FALSE(w->isVisible());
    ASSERT_EQ(WindowEntries(Frame()).size(), 3);
    WindowEntry(Frame(), QStringLiteral("&1 a.bmp"))->trigger();
    ProcessEvents();
    CMDIChildWnd* active = Frame()->MDIGetActive();
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(active->windowTitle(), QStringLiteral("a.bmp"));
    EXPECT_TRUE(active->isVisible());
    EXPECT_TRUE(Frame()->IsImageWindowActive());
    WindowEntries(Frame(), &checked);
    EXPECT_EQ(checked, QStringLiteral("&1 a.bmp"));

    // Cascade brings back the others too.
    m_app->Router().Route(Id::ID_WINDOW_CASCADE);
    ProcessEvents();
    for (QMdiSubWindow* w : Frame()->MdiArea()->subWindowList())
        EXPECT_TRUE(w->isVisible());
}

TEST_F(AppTest, ANewImageWindowShowsThePictureWithOnlyTheScrollBarsItNeeds)
{
    StartApp();
    struct Case
    {
        QSize picture;
        bool hbar, vbar;
    };
    for (const Case& c : {Case{{300, 200}, false, false}, Case{{3000, 100}, true, false},
                          Case{{100, 3000}, false, true}, Case{{3000, 3000}, true, true}})
    {
        // No stored placement: the window takes the picture's size.
        Settings::WriteProfileString(QStringLiteral("Settings"), QStringLiteral("WWTypeWindowPos"),
                                     QString());
        CPLView* view = OpenView(MakeBmp(QStringLiteral("p.bmp"), c.picture, Qt::gray));
        ASSERT_NE(view, nullptr);
        SCOPED_TRACE(c.picture.width());
        EXPECT_EQ(view->horizontalScrollBar()->maximum() > 0, c.hbar);
        EXPECT_EQ(view->verticalScrollBar()->maximum() > 0, c.vbar);
        // A side without a bar shows the whole picture, and no more.
        if (!c.hbar)
        {
            EXPECT_EQ(view->viewport()->width(), c.picture.width());
        }
        if (!c.vbar)
        {
            EXPECT_EQ(view->viewport()->height(), c.picture.height());
        }
        view->GetDocument()->OnCloseDocument();
        ProcessEvents();
    }
}

TEST_F(AppTest, KeypadShortcutsRunTheirCommands)
{
    StartApp();
    CPLView* a = OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(30, 30), Qt::red));
    CPLView* b = OpenView(MakeBmp(QStringLiteral("b.bmp"), QSize(30, 30), Qt::red));
    ASSERT_TRUE(a && b);
    m_app->Router().UpdateAll();
    // Ctrl+Num *: tile vertically, side by side over the whole height.
    PressKey(b, Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier);
    ProcessEvents();
    const QRect ra = a->GetParentFrame()->geometry(), rb = b->GetParentFrame()->geometry();
    const int height = Frame()->MdiArea()->viewport()->height();
    EXPECT_EQ(ra.height(), height);
    EXPECT_EQ(rb.height(), height);
    EXPECT_NE(ra.x(), rb.x());
    // Ctrl+Num +: the next window.
    ASSERT_EQ(Frame()->MDIGetActive(), b->GetParentFrame());
    PressKey(b, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    ProcessEvents();
    EXPECT_EQ(Frame()->MDIGetActive(), a->GetParentFrame());
}

TEST_F(AppTest, LeavingFullScreenAfterEscapeGivesTheWindowItsStateBack)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("big.bmp"), QSize(3000, 2000), Qt::gray));
    ASSERT_NE(view, nullptr);
    CMDIChildWnd* child = view->GetParentFrame();
    m_app->Router().Route(Id::ID_VIEW_FULLSCREEN);
    ProcessEvents();
    Frame()->activateWindow();
    view->setFocus();
    ProcessEvents();
    PressKey(view, Qt::Key_Escape, Qt::NoModifier);
    ProcessEvents();
    ASSERT_FALSE(child->isVisible());
    m_app->Router().Route(Id::ID_VIEW_FULLSCREEN);
    ProcessEvents();
    EXPECT_FALSE(Frame()->IsFullScreen());
    EXPECT_FALSE(child->isVisible());
    Frame()->GetWindowList()->Choose(child);
    ProcessEvents();
    EXPECT_TRUE(child->isVisible());
    EXPECT_FALSE(child->isMaximized());
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
}

TEST_F(AppTest, AFailedOpenGivesTheActivationBack)
{
    StartApp();
    CPLView* view = OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(30, 30), Qt::red));
    ASSERT_NE(view, nullptr);
    const QString broken = QDir(TestDir()).filePath(QStringLiteral("broken.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    m_app->OpenDocumentFile(broken);
    WaitForPictures();
    ProcessUntil([this] { return Frame()->MdiArea()->subWindowList().size() == 1; });
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_EQ(Frame()->MDIGetActive(), view->GetParentFrame());
    EXPECT_TRUE(Frame()->IsImageWindowActive());
    EXPECT_NE(TopMenu(Frame(), "&Window"), nullptr);
}

TEST_F(AppTest, SaveAsBmpSaysWhyItFailed)
{
    StartApp();
    const QString folder = QDir(TestDir()).filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(QStringLiteral("a.png"));
    ASSERT_TRUE(QFile::rename(MakeBmp(QStringLiteral("a.bmp"), QSize(8, 8), Qt::red), path));
    CPLView* view = OpenView(path);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_FALSE(view->GetDocument()->SaveAsBmp());
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages.first().startsWith(QStringLiteral("Could not save ")));
    EXPECT_TRUE(m_messages.first().contains(QStringLiteral("No such file or directory")));
}

TEST_F(AppTest, ABarDockedBackReturnsToItsPlace)
{
    StartApp();
    CTreeBar* tree = Frame()->GetTreeBar();
    CListBar* list = Frame()->GetListBar();
    ASSERT_LT(tree->y(), list->y());
    Frame()->FloatBar(tree);
    ProcessEvents();
    ASSERT_TRUE(tree->isFloating());
    Frame()->DockBar(tree);
    ProcessEvents();
    EXPECT_FALSE(tree->isFloating());
    EXPECT_EQ(Frame()->dockWidgetArea(tree), Qt::LeftDockWidgetArea);
    EXPECT_LT(tree->y(), list->y());
}

TEST(Menus, EveryCommandHasAMnemonicOfItsOwnInItsMenu)
{
    for (int resource : {Id::IDR_MAINFRAME, Id::IDR_VISTRETYPE})
        for (const MenuEntry& top : Menus::MenuResource(resource))
        {
            QSet<QChar> used;
            QMenu menu;
            Menus::Populate(&menu, top.items,
                            [&menu](int id) { return Commands::CreateAction(id, &menu); });
            for (QAction* action : menu.actions())
            {
                const QString text = action->text();
                if (action->isSeparator() || text == QLatin1String("Recent File"))
                    continue;
                const qsizetype amp = text.indexOf(QLatin1Char('&'));
                ASSERT_GE(amp, 0) << text.toStdString();
                const QChar key = text[amp + 1].toLower();
                EXPECT_FALSE(used.contains(key)) << top.popup << " " << text.toStdString();
                used.insert(key);
            }
        }
}
