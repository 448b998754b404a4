#include "AppTestSupport.h"
#include "DIBSection.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "PLView.h"
#include "Resource.h"
#include "Settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>

#include <functional>

namespace
{
// Every row and column of the striped picture differs from its neighbours.
QRgb StripeColour(int x, int y)
{
    return qRgb(x * 7 & 0xFF, y * 13 & 0xFF, (x / 256 + y / 256 * 8) * 5 & 0xFF);
}

class PanningTest : public AppTest
{
protected:
    /// A striped 2000 x 1500 picture in a 400 x 300 view, with "pandelay" 0.
    CPLView* OpenLargeView(const QString& name)
    {
        Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("pandelay"), 0);
        CDIBSection bmp;
        bmp.Create(2000, 1500, 32, false);
        for (int y = 0; y < 1500; ++y)
            for (int x = 0; x < 2000; ++x)
            {
                const QRgb c = StripeColour(x, y);
                uint8_t* p = bmp.GetLineArray()[y] + 4 * x;
                p[0] = uint8_t(qBlue(c));
                p[1] = uint8_t(qGreen(c));
                p[2] = uint8_t(qRed(c));
                p[3] = 0xFF;
            }
        const QString path = QDir(TestDir()).filePath(name);
        bmp.SaveAsBmp(QFile::encodeName(path).toStdString());
        CPLView* view = OpenView(path);
        if (view)
            SetClientSize(view, QSize(400, 300));
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
    ASSERT_EQ(view->verticalScrollBar()->maximum(), 1200);
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

    // What is on screen is the picture moved up by the steps: the rows
    // shifted with each step and the row that came in at the bottom.
    const QPoint origin = view->viewport()->mapTo(view->window(), QPoint(0, 0));
    const QImage screen = view->screen()
                              ->grabWindow(view->window()->winId(), origin.x(), origin.y(),
                                           view->viewport()->width(), view->viewport()->height())
                              .toImage();
    ASSERT_EQ(screen.size(), QSize(400, 300));
    for (int y : {0, 1, 150, 298, 299})
        for (int x : {0, 201, 399})
            EXPECT_EQ(screen.pixel(x, y), StripeColour(x, y + stopped))
                << x << "," << y << " at " << stopped;
}

TEST_F(PanningTest, StartingTwiceSaysTheThreadIsAlreadyStartedButARestartDoesNot)
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

    // A picture that fails to open restarts panning on the same window: the
    // worker stopped first, so only the decoder's message shows.
    m_messages.clear();
    const QString broken = QDir(TestDir()).filePath(QStringLiteral("broken.bmp"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM not really");
    file.close();
    m_app->OpenImage(broken, false);
    WaitForPictures();
    ProcessUntil([this, view] { return !m_messages.isEmpty() && view->IsAutoScrolling(); });
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_FALSE(m_messages.contains(QStringLiteral("Thread is already started!")));
    EXPECT_TRUE(view->IsAutoScrolling());
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
             // Panning follows the new window, which takes the old one's
             // place when its picture has come.
             WaitForPictures();
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
