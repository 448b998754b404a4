#include "AppTestSupport.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "PLView.h"
#include "Resource.h"
#include "Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>

#include <functional>

namespace
{
/// Runs the event loop until the condition holds or the time is up.
bool ProcessUntil(const std::function<bool()>& done, int nMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < nMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

class PanningTest : public AppTest
{
protected:
    /// A 2000 x 1500 picture in an 800 x 600 view, with "pandelay" 0.
    CPLView* OpenLargeView(const QString& name)
    {
        Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("pandelay"), 0);
        CPLView* view = OpenView(MakeBmp(name, QSize(2000, 1500), Qt::darkGreen));
        if (view)
            SetClientSize(view, QSize(800, 600));
        return view;
    }
    /// Starts panning and waits until the picture has moved down.
    bool StartAndSeeItMove(CPLView* view)
    {
        m_app->Router().Route(Id::ID_AUTOSCROLL_START);
        return view->IsAutoScrolling() &&
               ProcessUntil([view] { return view->verticalScrollBar()->value() >= 3; });
    }
};
} // namespace

TEST_F(PanningTest, MovesThePictureDownSlowlyAndStopsAtOnce)
{
    StartApp();
    CPLView* view = OpenLargeView(QStringLiteral("large.bmp"));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->verticalScrollBar()->maximum(), 900);
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(StartAndSeeItMove(view));
    EXPECT_TRUE(m_app->m_bPanning);
    EXPECT_EQ(m_app->m_pPanView, view);
    ProcessUntil([] { return false; }, 200);
    // One step a frame: far from the whole sweep, and never sideways.
    const int moved = view->verticalScrollBar()->value();
    EXPECT_LE(moved, 1 + int(timer.elapsed() * 120 / 1000));
    EXPECT_EQ(view->horizontalScrollBar()->value(), 0);

    m_app->Router().Route(Id::ID_AUTOSCROLL_STOP);
    EXPECT_FALSE(m_app->m_bPanning);
    EXPECT_FALSE(view->IsAutoScrolling());
    const int stopped = view->verticalScrollBar()->value();
    ProcessUntil([] { return false; }, 150);
    EXPECT_EQ(view->verticalScrollBar()->value(), stopped);
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(PanningTest, StartingTwiceOnOneWindowSaysTheThreadIsAlreadyStarted)
{
    StartApp();
    CPLView* view = OpenLargeView(QStringLiteral("large.bmp"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(StartAndSeeItMove(view));
    m_app->Router().Route(Id::ID_AUTOSCROLL_START);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("Thread is already started!")});
    // The worker that runs goes on.
    const int at = view->verticalScrollBar()->value();
    EXPECT_TRUE(ProcessUntil([&] { return view->verticalScrollBar()->value() > at; }));
    m_app->StopPanning();
}

TEST_F(PanningTest, SwitchedOnWithoutAWindowItStartsOnTheNextOpenedImage)
{
    StartApp();
    m_app->Router().Route(Id::ID_AUTOSCROLL_START);
    EXPECT_TRUE(m_app->m_bPanning);
    EXPECT_TRUE(m_messages.isEmpty());
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("pandelay"), 0);
    ASSERT_TRUE(
        m_app->OpenImage(MakeBmp(QStringLiteral("a.bmp"), QSize(2000, 1500), Qt::red), false));
    ProcessEvents();
    CPLView* view = Frame()->GetActiveImageView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->IsAutoScrolling());
    EXPECT_EQ(m_app->m_pPanView, view);
}

TEST_F(PanningTest, ClosingChangingThePictureEscapeAndQuitEndAPassCleanly)
{
    struct Case
    {
        const char* name;
        std::function<void(CPLView*)> action;
    };
    const Case cases[] = {
        {"close the window", [](CPLView* v) { v->GetParentFrame()->close(); }},
        {"open another picture in its place",
         [this](CPLView*)
         {
             m_app->OpenImage(MakeBmp(QStringLiteral("next.bmp"), QSize(1000, 900), Qt::red), true);
             // Panning follows the new window.
             CPLView* now = Frame()->GetActiveImageView();
             EXPECT_TRUE(now && now->IsAutoScrolling());
         }},
        {"escape",
         [](CPLView* v)
         {
             v->setFocus();
             QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(QApplication::focusWidget(), &esc);
         }},
        {"quit", [this](CPLView*) { Quit(); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        StartApp();
        QPointer<CPLView> view = OpenLargeView(QStringLiteral("large.bmp"));
        ASSERT_NE(view, nullptr);
        Frame()->activateWindow();
        ASSERT_TRUE(StartAndSeeItMove(view));
        QElapsedTimer timer;
        timer.start();
        c.action(view);
        ProcessEvents();
        EXPECT_LT(timer.elapsed(), 1000);
        if (view)
        {
            // The window stays (hidden by Escape): its picture no longer moves.
            EXPECT_FALSE(view->IsAutoScrolling());
            const int at = view->verticalScrollBar()->value();
            ProcessUntil([] { return false; }, 100);
            EXPECT_EQ(view->verticalScrollBar()->value(), at);
        }
        if (m_app->GetMainWnd()->isVisible())
            Quit();
        m_app.reset();
        ProcessEvents();
        EXPECT_TRUE(m_messages.isEmpty());
    }
}
